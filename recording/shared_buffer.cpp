#include "recording/shared_buffer.h"

#include <sys/mman.h>

#include <utility>

namespace nereid::recording {

CSharedBuffer::~CSharedBuffer() {
    Release();
}

CSharedBuffer::CSharedBuffer(CSharedBuffer&& other) noexcept
    : m_Data(std::exchange(other.m_Data, nullptr)), m_Size(std::exchange(other.m_Size, 0)) {}

CSharedBuffer& CSharedBuffer::operator=(CSharedBuffer&& other) noexcept {
    if (this != &other) {
        Release();
        m_Data = std::exchange(other.m_Data, nullptr);
        m_Size = std::exchange(other.m_Size, 0);
    }
    return *this;
}

int CSharedBuffer::Allocate(std::size_t bytes) {
    Release();
    if (bytes == 0) {
        bytes = 1;
    }
    void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                   MAP_SHARED | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p == MAP_FAILED) {
        return 0;
    }
    m_Data = static_cast<std::uint8_t*>(p);
    m_Size = bytes;
    return 1;
}

void CSharedBuffer::Release() {
    if (m_Data != nullptr) {
        munmap(m_Data, m_Size);
        m_Data = nullptr;
        m_Size = 0;
    }
}

} // namespace nereid::recording
