#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>

namespace nereid::recording {

class CStagedFile;

// Appends to a staged file on a thread of its own, so that the next block of output is made
// while the last one is written: formatting and the kernel's copy into the page cache overlap.
// One block at a time; the first is written on the caller's thread, and the thread starts
// with the second, so that a file of one block starts none. Not thread-safe itself: one
// caller thread, and the file is the caller's again whenever Wait has returned.
class CBackgroundAppender {
public:
    explicit CBackgroundAppender(CStagedFile& file);
    ~CBackgroundAppender();
    CBackgroundAppender(const CBackgroundAppender&) = delete;
    CBackgroundAppender& operator=(const CBackgroundAppender&) = delete;

    // Waits for the block before, then starts appending this one; its bytes must stay as they
    // are until the next Append or Wait returns. 0, or the errno of the first failure so far
    // (after which nothing more is written).
    int Append(const std::uint8_t* data, std::size_t length);
    // Waits for the block being appended. 0 or the first failure's errno.
    int Wait();

private:
    void Run();

    CStagedFile& m_file;
    // Shared with the thread.
    std::mutex m_mutex;
    std::condition_variable m_changed;
    const std::uint8_t* m_data = nullptr;
    std::size_t m_length = 0;
    bool m_busy = false; // a block is given and not yet written
    bool m_stop = false;
    int m_error = 0;
    bool m_first = true;
    std::thread m_thread;
};

} // namespace nereid::recording
