#pragma once

#include <QAudio>
#include <QIODevice>
#include <QObject>

#include <memory>
#include <type_traits>

class QAudioSink;
class QAudioSource;

// Owners of the sound objects a play or a recording runs on: the sink, the source and the stream
// a sink pulls from. None is ever deleted in place, nor given a parent. A sink may be let go from
// inside its own stateChanged, and Qt's PulseAudio sink and source run the event loop in their
// destructors: deleted in place, or as children of the device, they once ran code of a deleted
// object and delivered queued events into a device half destroyed. So letting one go cuts every
// connection it has, stops it, and hands it to deleteLater: it dies later in the event loop,
// pointing at nothing and with nothing pointing at it, whether its owner still lives or not. A
// unique_ptr holds each, so it is let go exactly once, and at the latest with its owner.
struct LetGoLater
{
    template <class T> void operator()(T *object) const
    {
        QObject::disconnect(object, nullptr, nullptr, nullptr);
        if constexpr (!std::is_base_of_v<QIODevice, T>)
            object->stop(); // a stream only feeds its sink, which has stopped by then
        object->deleteLater();
    }
};

template <class T> using AudioOwner = std::unique_ptr<T, LetGoLater>;
using SinkOwner = AudioOwner<QAudioSink>;
using SourceOwner = AudioOwner<QAudioSource>;

// Whether a sink or source error means it no longer plays or records.
inline bool audioFailed(QAudio::Error e)
{
    return e == QAudio::OpenError || e == QAudio::IOError || e == QAudio::FatalError;
}
