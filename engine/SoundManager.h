#ifndef QUORIN_SOUNDMANAGER_H
#define QUORIN_SOUNDMANAGER_H

#include <string>

class DataFile;
class SoundHandle;

// The process-wide player of music and sound effects: a sound is loaded from
// a DataFile, played and stopped through the handle it gets.
class SoundManager {
public:
    // A manager destroyed while current leaves no current manager behind.
    virtual ~SoundManager();

    virtual void enableSpectrum(bool enabled) = 0;
    // Fills values[0..count) with the current spectrum, each at most 1.0.
    virtual void spectrum(float* values, int count) = 0;
    // A new handle owned by the caller, or null when the data is no sound.
    // The caller keeps the DataFile.
    virtual SoundHandle* load(const DataFile* file) = 0;
    virtual void play(SoundHandle* handle) = 0;
    virtual void stop(SoundHandle* handle) = 0;

    // Takes no ownership.
    static void setInstance(SoundManager* manager);
    static SoundManager* instance();

protected:
    // A new handle tied to this manager: deleting it calls forget().
    SoundHandle* newHandle();
    // Cuts a handle loose, for a manager going away before its handles.
    static void untie(SoundHandle* handle);
    // A handle this manager made is being deleted: free what it stands for.
    virtual void forget(SoundHandle* handle);

private:
    friend class SoundHandle;
};

// SoundManager::load on the current manager; null for a null DataFile or
// when no manager is installed.
SoundHandle* loadSound(const DataFile* file);
// openFile, loadSound, then the DataFile is deleted; null when the file
// cannot be read.
SoundHandle* loadSoundFile(const std::string& path);
// Play or stop on the current manager; a null handle does nothing.
void playSound(SoundHandle* handle);
void stopSound(SoundHandle* handle);

#endif
