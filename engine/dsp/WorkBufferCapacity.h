#pragma once

namespace crvl::dsp
{

/** Samples that every work buffer of the signal path holds beyond the prepared maximum
    block size: a host that hands over a few samples more than it announced still has its
    block processed, where a buffer of the exact size would have to pass it through dry. */
inline constexpr int spare_samples = 16;

/** The length of a work buffer prepared for blocks of up to maximum_block_size samples. */
constexpr int work_buffer_capacity (int maximum_block_size) noexcept
{
    return maximum_block_size + spare_samples;
}

} // namespace crvl::dsp
