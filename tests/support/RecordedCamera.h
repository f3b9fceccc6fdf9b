#pragma once

// A camera for tests: pictures written into a Motion-JPEG AVI file and played through Qt
// Multimedia into the capture window's video sink, as a camera's pictures arrive.

#include "capture/FrameSource.h"

#include <QBuffer>
#include <QImage>
#include <QMediaPlayer>
#include <QUrl>
#include <QtEndian>

namespace vm::test {

// The pictures as an AVI file of JPEG frames `msApart`; all pictures must share one size.
inline QByteArray motionJpegAvi(const QList<QImage>& pictures, int msApart)
{
    auto u32 = [](QByteArray& out, quint32 v) {
        char bytes[4];
        qToLittleEndian(v, bytes);
        out.append(bytes, 4);
    };
    auto u16 = [](QByteArray& out, quint16 v) {
        char bytes[2];
        qToLittleEndian(v, bytes);
        out.append(bytes, 2);
    };
    auto chunk = [&](const char* id, const QByteArray& body) {
        QByteArray out(id, 4);
        u32(out, quint32(body.size()));
        out += body;
        if (body.size() % 2)
            out += '\0';
        return out;
    };
    const quint32 w = quint32(pictures.value(0).width()), h = quint32(pictures.value(0).height());
    const auto n = quint32(pictures.size());
    QByteArray movi("movi"), index;
    for (const QImage& picture : pictures) {
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, "JPEG", 92);
        index += "00dc";
        u32(index, 0x10); // a key frame
        u32(index, quint32(movi.size()));
        u32(index, quint32(jpeg.size()));
        movi += chunk("00dc", jpeg);
    }
    QByteArray avih;
    for (quint32 v : {quint32(msApart) * 1000u, 0u, 0u, 0x10u, n, 0u, 1u, 0u, w, h, 0u, 0u, 0u, 0u})
        u32(avih, v);
    QByteArray strh("vidsMJPG"); // frames at rate / scale a second
    for (quint32 v : {0u, 0u, 0u, quint32(msApart), 1000u, 0u, n, 0u, 0xffffffffu, 0u})
        u32(strh, v);
    for (quint16 v : {quint16(0), quint16(0), quint16(w), quint16(h)})
        u16(strh, v);
    QByteArray strf;
    u32(strf, 40);
    u32(strf, w);
    u32(strf, h);
    u16(strf, 1);
    u16(strf, 24);
    strf += "MJPG";
    for (quint32 v : {w * h * 3, 0u, 0u, 0u, 0u})
        u32(strf, v);
    const QByteArray strl = chunk("LIST", "strl" + chunk("strh", strh) + chunk("strf", strf));
    const QByteArray hdrl = chunk("LIST", "hdrl" + chunk("avih", avih) + strl);
    return chunk("RIFF", "AVI " + hdrl + chunk("LIST", movi) + chunk("idx1", index));
}

// Plays a video file once into the sink, as a camera sends its pictures; at its end the last
// picture stays. Not looped: each loop is a flushing seek made from the window's thread, which
// waits for the player's thread while that one may wait on the window's thread to take the
// picture it holds, a lock-step no camera makes.
class RecordedCamera final : public FrameSource {
public:
    explicit RecordedCamera(const QString& file, QString name = QStringLiteral("Test camera"))
        : FrameSource(std::move(name))
    {
        m_player.setVideoSink(sink());
        m_player.setSource(QUrl::fromLocalFile(file));
    }
    void start() override { m_player.play(); }
    void stop() override { m_player.stop(); }
    // What a camera does when it breaks down or is unplugged.
    void breakDown(const QString& message) { fail(message); }

private:
    QMediaPlayer m_player;
};

} // namespace vm::test
