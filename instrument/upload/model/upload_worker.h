#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "instrument/upload/model/upload_engine.h"

namespace nereid::instrument {

// Runs a CUploadEngine on a thread of its own, so that a window never waits on the line: the
// window hands it requests, and gets the engine's hooks back through `post`, which must run
// the given function on the window's thread (a queued call). Between frames the thread
// sleeps a millisecond at most, so each block is acknowledged as soon as it is complete.
class CUploadWorker {
public:
    using Post = std::function<void(std::function<void()>)>;
    using Request = std::function<void(CUploadEngine&)>;

    // `hooks` are called through `post`. The thread starts here.
    CUploadWorker(link::CInstrumentLink& link, std::uint32_t baud, CUploadEngine::Hooks hooks,
                  Post post);
    // Stops the thread; an operation still running is abandoned (its writer released).
    ~CUploadWorker();
    CUploadWorker(const CUploadWorker&) = delete;
    CUploadWorker& operator=(const CUploadWorker&) = delete;

    // Runs `request` on the worker's thread with the engine, in order.
    void Submit(Request request);

    // As last seen on the worker's thread.
    int Operation() const { return m_Operation.load(); }
    bool TransferActive() const { return m_TransferActive.load(); }

private:
    void Run();
    CUploadEngine::Hooks Forwarded(CUploadEngine::Hooks hooks);

    CUploadEngine m_Engine;
    Post m_Post;
    std::mutex m_Mutex;
    std::condition_variable m_Wake;
    std::deque<Request> m_Requests;
    bool m_Stop = false;
    std::atomic<int> m_Operation{kUploadIdle};
    std::atomic<bool> m_TransferActive{false};
    std::thread m_Thread;
};

// The baud rate the link's port is set to (0 when it is not a serial port or not open).
std::uint32_t LinkBaud(link::CInstrumentLink& link);

} // namespace nereid::instrument
