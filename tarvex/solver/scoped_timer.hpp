#pragma once

// Adds the seconds between construction and destruction to a counter.

#include <chrono>

namespace Tarvex {

class ScopedTimer {
public:
    explicit ScopedTimer(double& total) : total_{&total}, start_{std::chrono::steady_clock::now()} {}
    ScopedTimer(ScopedTimer const&) = delete;
    ScopedTimer& operator=(ScopedTimer const&) = delete;
    ~ScopedTimer() {
        *total_ += std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }

private:
    double* total_;
    std::chrono::steady_clock::time_point start_;
};

} // namespace Tarvex
