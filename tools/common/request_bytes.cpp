// The choices a request is made of: a fuzzer's input read byte by byte, or
// an endless pseudo-random stream for the soak, and the noise that fills
// bulk contents.
#include "request_maker.h"

RequestBytes::RequestBytes(const uint8_t *data, size_t size) : data_(data), size_(size) {}

RequestBytes::RequestBytes(uint64_t seed)
    : endless_(true), state_((seed * 0x9E3779B97F4A7C15ull) | 1), noise_(seed ^ 0x9E3779B97F4A7C15ull)
{
}

uint8_t RequestBytes::Byte()
{
    uint8_t byte = 0;
    if (endless_) {
        // xorshift64*
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        byte = (uint8_t)((state_ * 0x2545F4914F6CDD1Dull) >> 56);
    } else if (offset_ < size_) {
        byte = data_[offset_++];
    }
    noise_ = (noise_ ^ byte) * 0x100000001B3ull;
    return byte;
}

uint16_t RequestBytes::U16()
{
    uint16_t low = Byte();
    return (uint16_t)(low | (Byte() << 8));
}

uint32_t RequestBytes::U32()
{
    uint32_t low = U16();
    return low | ((uint32_t)U16() << 16);
}

uint32_t RequestBytes::Below(uint32_t bound)
{
    if (bound == 0) {
        return 0;
    }
    uint32_t value = bound <= 256 ? Byte() : bound <= 65536 ? U16() : U32();
    return value % bound;
}

uint32_t RequestBytes::Noise()
{
    noise_ += 0x9E3779B97F4A7C15ull;
    uint64_t z = noise_;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return (uint32_t)(z ^ (z >> 31));
}
