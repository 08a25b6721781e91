#pragma once

#include <QByteArray>

#include <memory>

#include "chat/ChatFacilities.h"

class QAudioSink;
class QBuffer;

namespace kestrel {

// The speaker beep as a generated tone: a sine wave of 16-bit mono samples.
QByteArray MakeTone(int frequencyHz, int durationMs, int sampleRate);

// Plays the tone on the default audio output; silent where there is none.
class ToneBeeper final : public Beeper {
public:
    ToneBeeper();
    ~ToneBeeper() override;
    void Beep(int frequencyHz, int durationMs) override;

    static constexpr int kSampleRate = 22050;

private:
    std::unique_ptr<QBuffer> m_buffer;
    std::unique_ptr<QAudioSink> m_sink;
};

}  // namespace kestrel
