#include "recording/mseed_packer_pool.h"

#include "recording/byte_order.h"
#include "recording/sample_decoders.h"
#include "recording/steim2_records.h"

#include <libmseed.h>

#include <cerrno>
#include <cstring>

namespace nereid::recording {

namespace {

constexpr int kRecordLength = kMseedRecordLength;
constexpr int kFrames = (kRecordLength - 64) / 64;
constexpr int kMostSamples = kFrames * 105;
// Every word of a frame but the first holds a difference at least, and the first frame gives
// two words to the first and last sample.
constexpr int kFewestSamples = kFrames * 15 - 2;
constexpr std::size_t kMostRecords =
    (CSteim2ChunkPacker::kChunkSamples + kFewestSamples - 1) / kFewestSamples;

} // namespace

struct CSteim2ChunkPacker::Job {
    std::unique_ptr<std::int32_t[]> samples{new std::int32_t[kChunkSamples]};
    std::unique_ptr<std::uint8_t[]> records{new std::uint8_t[kMostRecords * kRecordLength]};
    std::size_t count = 0;
    const std::uint8_t* raw = nullptr; // the samples still as the file holds them
    std::int64_t first = 0;            // index of samples[0] in the stream
    std::int32_t diff0 = 0;            // samples[0] minus the sample before it (0 for the first)
    std::size_t recordCount = 0;
    int error = 0;
    bool done = false;
};

int CSteim2ChunkPacker::DefaultWorkers() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores > 2 ? static_cast<int>(cores) - 1 : 1;
}

CSteim2ChunkPacker::CSteim2ChunkPacker(const SMseedStreamId& id, double sampleRate,
                                       std::int64_t startNs, Writer writer, int workers)
    : m_rate(sampleRate), m_startNs(startNs), m_writer(std::move(writer)),
      m_workerCount(workers > 0 ? workers : 1) {
    if (MSRecord* msr = msr_init(nullptr); msr != nullptr) {
        SetMseedStreamFields(msr, id, sampleRate);
        m_headerValid = Steim2RecordTemplate(msr, m_header);
        msr_free(&msr);
    }
    m_filling = std::make_unique<Job>();
}

CSteim2ChunkPacker::~CSteim2ChunkPacker() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
        m_todo.clear(); // an abandoned stream: chunks not begun are dropped
    }
    m_work.notify_all();
    for (std::thread& t : m_threads) {
        t.join();
    }
}

std::int32_t* CSteim2ChunkPacker::Space() {
    return m_filling->samples.get() + m_filling->count;
}

std::size_t CSteim2ChunkPacker::Room() const {
    return kChunkSamples - m_filling->count;
}

void CSteim2ChunkPacker::Commit(std::size_t count) {
    m_filling->count += count;
    if (m_filling->count == kChunkSamples) {
        Submit(false);
    }
}

void CSteim2ChunkPacker::CommitRaw(const std::uint8_t* raw) {
    m_filling->raw = raw;
    m_filling->count = kChunkSamples;
    Submit(false);
}

void CSteim2ChunkPacker::Drain() {
    while (!m_inFlight.empty()) {
        WriteOldest();
    }
}

void CSteim2ChunkPacker::Pack(Job& job) const {
    job.recordCount = 0;
    job.error = 0;
    if (job.raw != nullptr) {
        // Decoded here rather than by the caller: the two halves of the work share the
        // workers, and the samples are packed while they are still in this core's cache.
        DecodeToS32(job.raw, job.count, job.samples.get());
        job.raw = nullptr;
    }
    if (!m_headerValid || !(m_rate > 0.0)) {
        job.error = EINVAL;
        return;
    }
    const std::int32_t* x = job.samples.get();
    std::uint8_t* record = job.records.get();
    SRecordDay day;
    std::size_t done = 0;
    while (done < job.count) {
        const std::size_t left = job.count - done;
        const int take = left < kMostSamples ? static_cast<int>(left) : kMostSamples;
        const std::int32_t d0 =
            done == 0 ? job.diff0
                      : static_cast<std::int32_t>(static_cast<std::uint32_t>(x[done]) -
                                                  static_cast<std::uint32_t>(x[done - 1]));
        std::memcpy(record, m_header, 64);
        const int n = EncodeSteim2(x + done, take, kFrames, d0, record + 64);
        if (n <= 0) {
            job.error = EINVAL;
            return;
        }
        const std::int64_t ns =
            m_startNs + SampleOffsetNs(m_rate, job.first + static_cast<std::int64_t>(done));
        const std::int64_t us = ns >= 0 ? (ns + 500) / 1000 : -((-ns + 500) / 1000);
        // The sequence number is the writer's: it runs on across chunks.
        SetSteim2RecordTime(record, us, n, day);
        record += kRecordLength;
        ++job.recordCount;
        done += static_cast<std::size_t>(n);
    }
}

void CSteim2ChunkPacker::Submit(bool last) {
    Job& job = *m_filling;
    const std::int32_t firstSample = job.raw != nullptr ? GetLeS24(job.raw) : job.samples[0];
    job.first = m_submitted;
    job.diff0 = m_submitted == 0
                    ? 0
                    : static_cast<std::int32_t>(static_cast<std::uint32_t>(firstSample) -
                                                static_cast<std::uint32_t>(m_lastSample));
    job.done = false;
    m_submitted += static_cast<std::int64_t>(job.count);
    m_lastSample =
        job.raw != nullptr ? GetLeS24(job.raw + 3 * (job.count - 1)) : job.samples[job.count - 1];
    std::unique_ptr<Job> next;
    if (!m_spare.empty()) {
        next = std::move(m_spare.back());
        m_spare.pop_back();
    }
    if (last && m_threads.empty()) {
        // A stream of one chunk is packed here: a short file starts no thread.
        Pack(job);
        job.done = true;
        m_inFlight.push_back(std::move(m_filling));
    } else {
        if (m_threads.empty()) {
            for (int i = 0; i < m_workerCount; ++i) {
                m_threads.emplace_back([this] { Work(); });
            }
        }
        Job* queued = m_filling.get();
        m_inFlight.push_back(std::move(m_filling));
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_todo.push_back(queued);
        }
        m_work.notify_one();
    }
    m_filling = next ? std::move(next) : (last ? nullptr : std::make_unique<Job>());
    if (m_filling) {
        m_filling->count = 0;
    }
    // Two chunks waiting beside those being packed keep the workers busy.
    while (m_inFlight.size() > static_cast<std::size_t>(m_workerCount) + 2) {
        WriteOldest();
    }
}

void CSteim2ChunkPacker::WriteOldest() {
    std::unique_ptr<Job> job = std::move(m_inFlight.front());
    m_inFlight.pop_front();
    {
        // Rather than wait for the oldest chunk, this thread packs the next one waiting
        // (the oldest itself when no worker has begun it): no core sits idle while there is
        // work, and one thread fewer has to be woken.
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!job->done) {
            if (m_todo.empty()) {
                m_finished.wait(lock, [this, &job] { return job->done || !m_todo.empty(); });
                continue;
            }
            Job* next = m_todo.front();
            m_todo.pop_front();
            lock.unlock();
            Pack(*next);
            lock.lock();
            next->done = true;
        }
    }
    if (m_error == 0 && job->error != 0) {
        m_error = job->error;
    }
    if (m_error == 0) {
        std::uint8_t* record = job->records.get();
        for (std::size_t i = 0; i < job->recordCount; ++i, record += kRecordLength) {
            std::memcpy(record, m_sequence, sizeof m_sequence);
            NextRecordSequence(m_sequence);
        }
        m_records += static_cast<std::int64_t>(job->recordCount);
        if (m_writer) {
            m_error = m_writer(job->records.get(), job->recordCount * kRecordLength);
        }
    }
    job->count = 0;
    job->raw = nullptr;
    m_spare.push_back(std::move(job));
}

void CSteim2ChunkPacker::Work() {
    for (;;) {
        Job* job = nullptr;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_work.wait(lock, [this] { return m_stop || !m_todo.empty(); });
            if (m_stop) {
                return;
            }
            job = m_todo.front();
            m_todo.pop_front();
        }
        Pack(*job);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            job->done = true;
        }
        m_finished.notify_all();
    }
}

int CSteim2ChunkPacker::Finish() {
    if (m_filling && m_filling->count > 0) {
        Submit(true);
    }
    m_filling.reset();
    Drain();
    return m_error;
}

} // namespace nereid::recording
