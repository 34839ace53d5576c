#include "recording/output_block.h"

#include <sys/mman.h>

namespace nereid::recording {

COutputBlock::~COutputBlock() {
    Release();
}

bool COutputBlock::Map(std::size_t capacity) {
    Release();
    if (capacity == 0) {
        capacity = 4096;
    }
    void* p = ::mmap(nullptr, capacity, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) {
        return false;
    }
    m_data = static_cast<std::uint8_t*>(p);
    m_capacity = capacity;
    m_length = 0;
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
    return true;
}

void COutputBlock::Release() {
    if (m_data != nullptr) {
        ::munmap(m_data, m_capacity);
    }
    m_data = nullptr;
    m_capacity = 0;
    m_length = 0;
}

} // namespace nereid::recording
