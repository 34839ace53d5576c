#pragma once

#include <cstddef>
#include <cstdint>

namespace nereid::recording {

// An anonymous memory mapping that collects a translator's output; unmapped on destruction.
// It can grow (mremap), so a source longer than announced is not cut short; the mapping is
// private, because a shared anonymous mapping does not grow its backing object with mremap
// (touching the new part raises SIGBUS).
class COutputBlock {
public:
    COutputBlock() = default;
    ~COutputBlock();
    COutputBlock(const COutputBlock&) = delete;
    COutputBlock& operator=(const COutputBlock&) = delete;

    // Maps `capacity` bytes (at least one page). Returns false when the mapping fails.
    bool Map(std::size_t capacity);
    // Makes room for `extra` bytes after Length(). Returns false when the mapping cannot grow.
    bool Reserve(std::size_t extra);
    void Release();

    bool Mapped() const { return m_data != nullptr; }
    std::uint8_t* Data() { return m_data; }
    const std::uint8_t* Data() const { return m_data; }
    std::size_t Capacity() const { return m_capacity; }
    std::size_t Length() const { return m_length; }
    void SetLength(std::size_t length) { m_length = length; }

private:
    void AdviseLargePages();

    std::uint8_t* m_data = nullptr;
    std::size_t m_capacity = 0;
    std::size_t m_length = 0;
};

} // namespace nereid::recording
