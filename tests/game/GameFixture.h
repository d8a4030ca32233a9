#ifndef QUORIN_TEST_GAME_FIXTURE_H
#define QUORIN_TEST_GAME_FIXTURE_H

#include "Game.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>
#include <string>

class RecordingSoundManager;

// Files of a small game archive, member path -> bytes.
typedef std::map<std::string, std::string> ContentFiles;

// A complete small game: three ship types (plus a fourth that cannot be
// chosen), TrueType fonts, tiny pictures, meshes and sounds, and two
// levels of short all-floor tracks.
ContentFiles smallContent();

// The content with the first occurrence of "<name" ... "</name>" (or of a
// self-closing "<name .../>") removed from content.xml.
ContentFiles withoutElement(ContentFiles files, const std::string& name);
// The content with `from` replaced by `to` once in content.xml.
ContentFiles withReplaced(ContentFiles files, const std::string& from, const std::string& to);

// Entries of a device registry list that are still alive.
template <class T>
int liveEntries(const std::vector<T*>& list)
{
    int live = 0;
    for (T* entry : list)
        live += entry != nullptr;
    return live;
}

// A w x h PNG of one colour.
std::string pngBytes(int width, int height, uint32_t argb);

// A game over the recording device, fed an in-memory archive and a
// recording sound manager.
class GameFixture : public ::testing::Test {
protected:
    void TearDown() override;

    // onInit with these files; true when the game came up with a scene.
    bool start(const ContentFiles& files = smallContent());
    // One frame of the device: every held key, then onFrame.
    void frame(float elapsed = 1.0f / 60.0f);
    void frameWithKey(int key, float elapsed = 1.0f / 60.0f);
    // A frame of more than the menus' 0.2 s, so that the key passes, then
    // the key and its frame.
    void press(int key);
    // From the main menu to the first race frame: one player, or two with
    // each player moving right `right1` / `right2` times before validating.
    void startOnePlayerRace(int right1 = 0);
    void startTwoPlayerRace(int right1, int right2);
    // Shutdown as the device does it.
    void shutdown();

    Game* game = nullptr;
    // Content of the archive of the last start.
    ContentFiles files;
    RecordingSoundManager* sound = nullptr;
    bool running = false;
};

#endif
