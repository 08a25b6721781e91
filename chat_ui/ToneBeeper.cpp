#include "chat_ui/ToneBeeper.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QMediaDevices>

#include <cmath>
#include <cstdint>
#include <numbers>

namespace kestrel {

QByteArray MakeTone(int frequencyHz, int durationMs, int sampleRate) {
    if (frequencyHz <= 0 || durationMs <= 0 || sampleRate <= 0) return {};
    const qint64 count = static_cast<qint64>(sampleRate) * durationMs / 1000;
    QByteArray samples(static_cast<qsizetype>(count * 2), '\0');
    auto* out = reinterpret_cast<std::int16_t*>(samples.data());
    const double step = 2.0 * std::numbers::pi * frequencyHz / sampleRate;
    for (qint64 i = 0; i < count; ++i)
        out[i] = static_cast<std::int16_t>(std::lround(12000.0 * std::sin(step * i)));
    return samples;
}

ToneBeeper::ToneBeeper() = default;

ToneBeeper::~ToneBeeper() {
    if (m_sink) m_sink->stop();
}

void ToneBeeper::Beep(int frequencyHz, int durationMs) {
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) return;
    QAudioFormat format;
    format.setSampleRate(kSampleRate);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    if (!device.isFormatSupported(format)) return;
    // A new beep replaces one still sounding.
    if (m_sink) m_sink->stop();
    m_sink = std::make_unique<QAudioSink>(device, format);
    m_buffer = std::make_unique<QBuffer>();
    m_buffer->setData(MakeTone(frequencyHz, durationMs, kSampleRate));
    m_buffer->open(QIODevice::ReadOnly);
    m_sink->start(m_buffer.get());
}

}  // namespace kestrel
