#pragma once

#include <QString>
#include <functional>

// What the program asks of the sound module: play one WAV file on the default audio output, again and again.
class TSoundOutput {
public:
    virtual ~TSoundOutput() = default;

    // False when there is no audio output or the file is refused at once. A loading error found later calls
    // `failed` (from the event loop).
    virtual bool Open(const QString& fileName, std::function<void()> failed) = 0;
    virtual void Play() = 0;
};

// The module's one exported function, looked up by this name.
#define CVRLIK_SOUND_FACTORY "CvrlikCreateSoundOutput"
using TSoundOutputFactory = TSoundOutput* (*)();
