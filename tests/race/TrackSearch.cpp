#include "TrackSearch.h"

#include "Device.h"
#include "Game.h"
#include "Level.h"
#include "Ship.h"
#include "TileType.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <tuple>
#include <unordered_map>
#include <vector>

struct SearchedPath
{
    Ship ship;
    float clock;
    std::string inputs;
};

static int noseRow(const Ship& ship)
{
    return static_cast<int>(std::floor((ship.distance + ship.noseOffset()) / TileType::size()));
}

// Paths closer than this are taken as one.
static uint64_t placeKey(const Ship& ship)
{
    auto bucket = [](float value, float size) -> uint64_t {
        return static_cast<uint64_t>(static_cast<int64_t>(std::floor(value / size)) & 0xFFF);
    };
    uint64_t key = bucket(ship.distance, 0.01f);
    key = (key << 12) | bucket(ship.x, 0.004f);
    key = (key << 8) | bucket(ship.lateralSpeed, 0.01f);
    key = (key << 8) | bucket(ship.jumpPhase + 1.0f, 0.2f);
    key = (key << 6) | static_cast<uint64_t>(ship.jumpsLeft & 0x3F);
    key = (key << 8) | bucket(ship.forwardSpeed, 0.1f);
    return key;
}

// Better paths first: further along by whole rows, then more jumps kept,
// then further along.
static bool ahead(const SearchedPath& a, const SearchedPath& b)
{
    const int rowA = noseRow(a.ship), rowB = noseRow(b.ship);
    if (rowA != rowB)
        return rowA > rowB;
    if (a.ship.jumpsLeft != b.ship.jumpsLeft)
        return a.ship.jumpsLeft > b.ship.jumpsLeft;
    return a.ship.distance > b.ship.distance;
}

// Lanes of paths: where across the track, how many jumps are kept, in the
// air or not. The beam keeps the best paths of every lane in turn, so that
// it still holds a way around a hole or a cube ahead of the leaders, and
// paths that saved their jumps for a gap that only a jump clears.
static const int laneCount = 20 * 16 * 2;

static int laneOf(const Ship& ship)
{
    const int across = std::max(-1, std::min(static_cast<int>(std::floor(ship.x / 0.05f)), 18)) + 1;
    const int jumps = std::max(0, std::min(ship.jumpsLeft, 15));
    return (across * 16 + jumps) * 2 + (ship.jumping() ? 1 : 0);
}

static void keepBest(std::vector<SearchedPath>& paths, std::size_t width)
{
    if (paths.size() <= width)
        return;
    std::sort(paths.begin(), paths.end(), ahead);
    std::vector<int> rankInLane(paths.size());
    std::vector<int> taken(laneCount, 0);
    for (std::size_t i = 0; i < paths.size(); ++i)
        rankInLane[i] = taken[laneOf(paths[i].ship)]++;
    std::vector<std::size_t> order(paths.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return rankInLane[a] < rankInLane[b]; });
    std::vector<SearchedPath> kept;
    kept.reserve(width);
    for (std::size_t i = 0; i < width; ++i)
        kept.push_back(std::move(paths[order[i]]));
    paths.swap(kept);
}

TrackSearchResult searchTrack(const Ship& start, const TrackSearchOptions& options)
{
    Game* game = Game::instance();
    const float savedClock = game->clock;
    const float savedElapsed = game->lastElapsed;
    TrackSearchResult result;

    std::vector<SearchedPath> beam;
    beam.push_back(SearchedPath{start, game->clock, std::string()});
    std::vector<SearchedPath> next;
    std::unordered_map<uint64_t, std::size_t> seen;

    static const int steers[3] = {0, Key::left, Key::right};
    static const char letters[2][3] = {{'.', 'l', 'r'}, {'J', 'L', 'R'}};

    int bestRow = 0;
    int lastGain = 0;
    const int maxIntervals = static_cast<int>(options.maxSeconds / (options.frameTime * options.interval));
    for (int round = 0; round < maxIntervals && !beam.empty(); ++round) {
        next.clear();
        seen.clear();
        for (const SearchedPath& path : beam) {
            for (int jump = 0; jump < 2; ++jump) {
                if (jump && (path.ship.jumping() || path.ship.jumpsLeft < 1 || path.ship.raceClock < 0.0f))
                    continue;
                for (int s = 0; s < 3; ++s) {
                    SearchedPath child{path.ship, path.clock, path.inputs};
                    child.inputs.push_back(letters[jump][s]);
                    game->clock = child.clock;
                    bool alive = true;
                    for (int frame = 0; frame < options.interval; ++frame) {
                        if (jump && frame == 0)
                            child.ship.onKey(Key::space);
                        if (steers[s])
                            child.ship.onKey(steers[s]);
                        game->clock += options.frameTime;
                        game->lastElapsed = options.frameTime;
                        child.ship.update();
                        if (child.ship.crashed) {
                            alive = false;
                            break;
                        }
                        if (child.ship.finished)
                            break;
                    }
                    child.clock = game->clock;
                    result.furthestRow = std::max(result.furthestRow, noseRow(child.ship));
                    if (!alive)
                        continue;
                    if (child.ship.finished) {
                        result.won = true;
                        result.seconds = child.ship.raceClock;
                        result.inputs = child.inputs;
                        game->clock = savedClock;
                        game->lastElapsed = savedElapsed;
                        return result;
                    }
                    const uint64_t key = placeKey(child.ship);
                    auto found = seen.find(key);
                    if (found == seen.end()) {
                        seen.emplace(key, next.size());
                        next.push_back(std::move(child));
                    } else if (ahead(child, next[found->second])) {
                        next[found->second] = std::move(child);
                    }
                }
            }
        }
        keepBest(next, static_cast<std::size_t>(options.beamWidth));
        beam.swap(next);
        // A search that has not gained a row for a long while is stuck.
        if (result.furthestRow > bestRow) {
            bestRow = result.furthestRow;
            lastGain = round;
        } else if ((round - lastGain) * options.frameTime * options.interval > options.stallSeconds) {
            break;
        }
    }

    game->clock = savedClock;
    game->lastElapsed = savedElapsed;
    return result;
}
