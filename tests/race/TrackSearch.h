#ifndef QUORIN_TRACK_SEARCH_H
#define QUORIN_TRACK_SEARCH_H

#include <string>

class Ship;

// Searches for key inputs that bring a ship from the start line to the end
// of Game::level with the real physics, at a fixed frame time. The ship is
// stepped through Ship::update exactly as in a race; a path that crashes is
// dropped. Every 'interval' frames each surviving path branches into
// nothing, left, right, and each of those with a jump; paths that end in
// the same place are merged, and the most advanced ones of every lane
// across the track are kept.
struct TrackSearchResult
{
    bool won = false;
    // The furthest row any path reached with its nose.
    int furthestRow = 0;
    // Race seconds the winning path took.
    float seconds = 0.0f;
    // Keys of the winning path, one letter per interval: '.' none, 'l',
    // 'r', and upper case with a jump.
    std::string inputs;
};

struct TrackSearchOptions
{
    float frameTime = 1.0f / 60.0f;
    int interval = 6;
    int beamWidth = 96;
    float maxSeconds = 600.0f;
    // Race seconds without a new furthest row after which the search gives up.
    float stallSeconds = 20.0f;
};

// Runs from the given ship's state (normally a fresh ship on the start
// line); Game::clock is advanced and restored along each path.
TrackSearchResult searchTrack(const Ship& start, const TrackSearchOptions& options = TrackSearchOptions());

#endif
