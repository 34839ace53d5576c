#pragma once

#include "recording/mseed_packer.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace nereid::recording {

// Packs one long continuous stream (a whole recorder file) into 512-byte Steim-2 records on
// worker threads and the caller's. The samples are cut into chunks at fixed sample counts;
// each chunk is packed on its own, its last record partly filled, and the chunks' records are
// handed to the writer in order on the caller's thread, their sequence numbers running on
// across chunks. Every record starts at the exact time of its first sample, so the records
// join into one trace without a gap. At most a few chunks are in flight, so memory stays a
// few MiB whatever the stream's length. Not thread-safe itself: one caller thread.
class CSteim2ChunkPacker {
public:
    // Gets the records of each chunk in order, many at once; returns 0 or an errno, which
    // stops any further writing.
    using Writer = std::function<int(const std::uint8_t* records, std::size_t length)>;

    static constexpr std::size_t kChunkSamples = std::size_t{1} << 17;

    // Worker threads for a machine's cores: one fewer than it has (at least one), as the
    // caller's thread packs too whenever it would otherwise wait for a chunk.
    static int DefaultWorkers();

    // `startNs`: UTC time of the stream's first sample in ns since 1970. `workers`: threads
    // to pack on besides the caller's (at least 1); none start until a second chunk is begun.
    CSteim2ChunkPacker(const SMseedStreamId& id, double sampleRate, std::int64_t startNs,
                       Writer writer, int workers = DefaultWorkers());
    ~CSteim2ChunkPacker();
    CSteim2ChunkPacker(const CSteim2ChunkPacker&) = delete;
    CSteim2ChunkPacker& operator=(const CSteim2ChunkPacker&) = delete;

    // Where the next samples go, and how many fit before the chunk is full.
    std::int32_t* Space();
    std::size_t Room() const;
    // `count` samples were stored at Space(); a full chunk is sent off to be packed.
    void Commit(std::size_t count);
    // A whole chunk straight from a recorder file's 3-byte little-endian samples at `raw`,
    // decoded by the worker that packs it, when the chunk being filled is still empty. The
    // bytes must stay valid until Drain or Finish returns.
    void CommitRaw(const std::uint8_t* raw);
    bool ChunkEmpty() const { return Room() == kChunkSamples; }
    // Waits for every chunk sent off and writes its records.
    void Drain();
    // Packs what is left and writes every record. 0, EINVAL when a step between samples
    // needs more than 30 bits (nothing after it is written), or the writer's error. Once.
    int Finish();

    std::int64_t RecordsWritten() const { return m_records; }

private:
    struct Job;

    void Submit(bool last);
    void WriteOldest();
    void Work();
    void Pack(Job& job) const;

    std::uint8_t m_header[64] = {};
    bool m_headerValid = false;
    double m_rate;
    std::int64_t m_startNs;
    Writer m_writer;
    int m_workerCount;
    int m_error = 0;
    char m_sequence[6] = {'0', '0', '0', '0', '0', '1'}; // as the next header holds it
    std::int64_t m_records = 0;
    std::int64_t m_submitted = 0; // samples of the chunks sent off
    std::int32_t m_lastSample = 0;
    std::unique_ptr<Job> m_filling;
    std::vector<std::unique_ptr<Job>> m_spare;
    std::deque<std::unique_ptr<Job>> m_inFlight; // in stream order

    // Shared with the workers.
    std::mutex m_mutex;
    std::condition_variable m_work;
    std::condition_variable m_finished;
    std::deque<Job*> m_todo;
    bool m_stop = false;
    std::vector<std::thread> m_threads;
};

} // namespace nereid::recording
