#include "banded_lu.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace karrow {

SymmetricBandMatrix::SymmetricBandMatrix(int size, int band)
    : size_(size)
    , band_(band)
    , values_(static_cast<std::size_t>(size) * static_cast<std::size_t>(band + 1), 0.0)
{
}

void SymmetricBandMatrix::Clear()
{
    std::fill(values_.begin(), values_.end(), 0.0);
}

bool SymmetricBandMatrix::Factor()
{
    for (int j = 0; j < size_; ++j) {
        const int first = std::max(0, j - band_);
        double pivot = Lower(j, j);
        for (int k = first; k < j; ++k)
            pivot -= Lower(j, k) * Lower(j, k);
        if (!(pivot > 0) || !std::isfinite(pivot))
            return false;
        const double root = std::sqrt(pivot);
        Lower(j, j) = root;
        const int last = std::min(size_ - 1, j + band_);
        for (int i = j + 1; i <= last; ++i) {
            double sum = Lower(i, j);
            for (int k = std::max(first, i - band_); k < j; ++k)
                sum -= Lower(i, k) * Lower(j, k);
            Lower(i, j) = sum / root;
        }
    }
    return true;
}

void SymmetricBandMatrix::Solve(std::vector<double>& b) const
{
    for (int i = 0; i < size_; ++i) {
        double sum = b[static_cast<std::size_t>(i)];
        for (int k = std::max(0, i - band_); k < i; ++k)
            sum -= Lower(i, k) * b[static_cast<std::size_t>(k)];
        b[static_cast<std::size_t>(i)] = sum / Lower(i, i);
    }
    for (int i = size_ - 1; i >= 0; --i) {
        double sum = b[static_cast<std::size_t>(i)];
        const int last = std::min(size_ - 1, i + band_);
        for (int k = i + 1; k <= last; ++k)
            sum -= Lower(k, i) * b[static_cast<std::size_t>(k)];
        b[static_cast<std::size_t>(i)] = sum / Lower(i, i);
    }
}

} // namespace karrow
