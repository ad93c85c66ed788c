#include "sound/soundoutput.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>
#include <memory>
#include <utility>

namespace {

class TSoundEffectOutput final : public TSoundOutput {
public:
    bool Open(const QString& fileName, std::function<void()> failed) override {
        if (QMediaDevices::audioOutputs().isEmpty()) {
            return false;
        }
        Effect = std::make_unique<QSoundEffect>();
        Failed = std::move(failed);
        QObject::connect(Effect.get(), &QSoundEffect::statusChanged, Effect.get(), [this] { StatusChanged(); });
        Effect->setSource(QUrl::fromLocalFile(fileName));
        return Effect->status() != QSoundEffect::Error;
    }

    void Play() override {
        if (Effect) {
            Effect->play();
        }
    }

private:
    void StatusChanged() {
        if (Effect->status() == QSoundEffect::Error && Failed) {
            // Called once: the player forgets this output and beeps from now on.
            std::exchange(Failed, nullptr)();
        }
    }

    std::unique_ptr<QSoundEffect> Effect;
    std::function<void()> Failed;
};

} // namespace

extern "C" __attribute__((visibility("default"))) TSoundOutput* CvrlikCreateSoundOutput() {
    return new TSoundEffectOutput;
}
