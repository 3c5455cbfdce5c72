#pragma once

#include "video/CaptureSource.h"
#include "video/FrameLayout.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace vigilux::video {

// Bounds of one network session. The defaults suit real cameras; tests
// shorten the waits.
struct NetworkLimits {
    int openTimeoutMs = 10000; // connect, handshake, login and the first picture
    int readTimeoutMs = 10000; // a stream silent this long has stalled
    // One packet (a JPEG, an access unit) larger than this is refused: a
    // hostile or broken server must not make us buffer without end.
    std::int64_t maxPacketBytes = 32LL * 1024 * 1024;
    std::int64_t maxPixels = 4096LL * 4096;      // larger pictures are refused
    std::int64_t probeBytes = 5LL * 1024 * 1024; // what is read to learn the stream's format
};

// Why a session ended.
enum class StreamError {
    None,
    Stopped,      // requestStop() was called
    Ended,        // the server closed the stream
    Stalled,      // nothing arrived within the bound
    Unreachable,  // no connection (refused, no route, no answer)
    LoginRefused, // the server refused the user name or password
    Forbidden,    // the server refuses this client whoever logs in
    ServerError,  // the server answered with an error of its own
    NotFound,     // the server has no such address
    TooLarge,     // a packet or picture over the limits
    BadData,      // what came is no video we can decode
    BadAddress,   // not an rtsp://, rtsps://, http:// or https:// address
};

// Russian text for the user; never holds the address or credentials.
QString streamErrorText(StreamError error);

// One session with a network camera: open, read frame after frame, close.
// RTSP (over TCP or UDP), MJPEG over HTTP (multipart/x-mixed-replace) and
// single JPEG pictures over HTTP (one frame, then the end), through FFmpeg.
//
// Frames are packed as video::FrameLayout::packed in the decoder's own
// pixel layout (the same bytes replaying a recording of the stream gives);
// formats FrameLayout does not read are converted to 4:2:0. Damaged frames
// (concealed errors) are skipped: their picture is partly made up.
//
// Every call blocks at most for the bound in NetworkLimits. Used from one
// thread; requestStop() may be called from any thread and ends the wait
// in progress within about 0.1 s.
class NetworkStream final {
public:
    explicit NetworkStream(NetworkLimits limits = {});
    ~NetworkStream();
    NetworkStream(const NetworkStream&) = delete;
    NetworkStream& operator=(const NetworkStream&) = delete;

    // Opens source.address with its credentials and transport. False with
    // error() set when it fails.
    bool open(const video::CaptureSource& source);

    // Decodes the next frame and packs it into `out` (grown as needed),
    // `layout` describing it. False with error() set at the end. `wanted`,
    // when given, is asked about each whole frame decoded: one it declines
    // is passed over without being packed (a preview rate below the
    // camera's).
    bool next(std::vector<std::uint8_t>& out, video::FrameLayout& layout,
              const std::function<bool()>& wanted = {});

    // True when the address serves single pictures (a snapshot address):
    // the session ends normally after one frame.
    bool servesPictures() const;

    StreamError error() const { return m_error; }

    // Thread-safe: ends the current or next wait with StreamError::Stopped.
    void requestStop();

    // The address FFmpeg is given: the credentials percent-encoded into it.
    // Secret: never log or show it.
    static QByteArray ffmpegUrl(const video::CaptureSource& source);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    StreamError m_error = StreamError::None;
};

} // namespace vigilux::video
