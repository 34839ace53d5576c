#include "recording/output_block.h"

#include <mutex>
#include <sys/mman.h>
#include <utility>

namespace nereid::recording {

namespace {

// The block released last, kept for the next translation of this process (the translate
// dialog and the upload run one after another). Filling fresh anonymous memory costs a page
// fault per page, which is most of a translation's time; a recycled block has its pages
// already. Its pages are handed back with MADV_FREE, so the system can take them back under
// memory pressure (they then read as zero, which the block never relies on).
struct SpareBlock {
    std::mutex lock;
    std::uint8_t* data = nullptr;
    std::size_t capacity = 0;
};

SpareBlock& Spare() {
    static SpareBlock spare;
    return spare;
}

} // namespace

COutputBlock::~COutputBlock() {
    Release();
}

bool COutputBlock::Map(std::size_t capacity) {
    Release();
    if (capacity == 0) {
        capacity = 4096;
    }
    {
        SpareBlock& spare = Spare();
        std::lock_guard<std::mutex> guard(spare.lock);
        if (spare.data != nullptr && spare.capacity >= capacity) {
            m_data = spare.data;
            m_capacity = spare.capacity;
            m_length = 0;
            spare.data = nullptr;
            spare.capacity = 0;
            return true;
        }
        if (spare.data != nullptr) {
            ::munmap(spare.data, spare.capacity);
            spare.data = nullptr;
            spare.capacity = 0;
        }
    }
    void* p = ::mmap(nullptr, capacity, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) {
        return false;
    }
    m_data = static_cast<std::uint8_t*>(p);
    m_capacity = capacity;
    m_length = 0;
    AdviseLargePages();
    return true;
}

bool COutputBlock::Reserve(std::size_t extra) {
    if (m_data == nullptr) {
        return false;
    }
    if (extra <= m_capacity - m_length) {
        return true;
    }
    std::size_t wanted = m_capacity * 2;
    if (wanted < m_length + extra) {
        wanted = m_length + extra;
    }
    void* p = ::mremap(m_data, m_capacity, wanted, MREMAP_MAYMOVE);
    if (p == MAP_FAILED) {
        return false;
    }
    m_data = static_cast<std::uint8_t*>(p);
    m_capacity = wanted;
    AdviseLargePages();
    return true;
}

void COutputBlock::AdviseLargePages() {
    // Output blocks run to hundreds of megabytes; with 4 KiB pages filling them costs one
    // page fault per 4 KiB, which dominates a translation. Large pages where the system
    // allows them (advice only: failure changes nothing).
    ::madvise(m_data, m_capacity, MADV_HUGEPAGE);
}

void COutputBlock::Release() {
    if (m_data != nullptr) {
        ::madvise(m_data, m_capacity, MADV_FREE);
        SpareBlock& spare = Spare();
        std::lock_guard<std::mutex> guard(spare.lock);
        if (spare.data == nullptr || spare.capacity < m_capacity) {
            std::swap(spare.data, m_data);
            std::swap(spare.capacity, m_capacity);
        }
        if (m_data != nullptr) {
            ::munmap(m_data, m_capacity);
        }
    }
    m_data = nullptr;
    m_capacity = 0;
    m_length = 0;
}

} // namespace nereid::recording
