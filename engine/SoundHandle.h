#ifndef QUORIN_SOUNDHANDLE_H
#define QUORIN_SOUNDHANDLE_H

class SoundManager;

// What the game holds for one loaded piece of music or sound. Made only by a
// SoundManager, owned and deleted by the game. Deleting it lets the manager
// that made it free the sound, so nothing outlives its handle and a later
// handle at the same address never finds the old sound.
class SoundHandle {
public:
    SoundHandle();
    virtual ~SoundHandle();

    SoundHandle(const SoundHandle&) = delete;
    SoundHandle& operator=(const SoundHandle&) = delete;

private:
    friend class SoundManager;
    SoundManager* manager_;  // null once the manager is gone
};

#endif
