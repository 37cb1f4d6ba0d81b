#include "banded_lu.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace karrow {

BandedMatrix::BandedMatrix(int size, int lower, int upper)
    : size_(size)
    , lower_(lower)
    , upper_(upper)
    , width_(2 * lower + upper + 1)
    , values_(static_cast<std::size_t>(size) * static_cast<std::size_t>(width_), 0.0)
    , pivotRows_(static_cast<std::size_t>(size), 0)
{
}

void BandedMatrix::Clear()
{
    std::fill(values_.begin(), values_.end(), 0.0);
}

int BandedMatrix::LastColumn(int row) const
{
    return std::min(size_ - 1, row + lower_ + upper_);
}

bool BandedMatrix::Factor()
{
    for (int k = 0; k < size_; ++k) {
        const int lastRow = std::min(size_ - 1, k + lower_);
        int pivot = k;
        for (int r = k + 1; r <= lastRow; ++r)
            if (std::fabs(At(r, k)) > std::fabs(At(pivot, k)))
                pivot = r;
        pivotRows_[static_cast<std::size_t>(k)] = pivot;
        const double head = At(pivot, k);
        if (head == 0 || !std::isfinite(head))
            return false;
        const int lastColumn = LastColumn(k);
        if (pivot != k)
            for (int c = k; c <= lastColumn; ++c)
                std::swap(At(k, c), At(pivot, c));
        for (int r = k + 1; r <= lastRow; ++r) {
            const double factor = At(r, k) / At(k, k);
            At(r, k) = factor;
            if (factor != 0)
                for (int c = k + 1; c <= lastColumn; ++c)
                    At(r, c) -= factor * At(k, c);
        }
    }
    return true;
}

void BandedMatrix::Solve(std::vector<double>& b) const
{
    for (int k = 0; k < size_; ++k) {
        const auto pivot = static_cast<std::size_t>(pivotRows_[static_cast<std::size_t>(k)]);
        std::swap(b[static_cast<std::size_t>(k)], b[pivot]);
        const double bk = b[static_cast<std::size_t>(k)];
        const int lastRow = std::min(size_ - 1, k + lower_);
        for (int r = k + 1; r <= lastRow; ++r)
            b[static_cast<std::size_t>(r)] -= At(r, k) * bk;
    }
    for (int k = size_ - 1; k >= 0; --k) {
        double sum = b[static_cast<std::size_t>(k)];
        for (int c = k + 1; c <= LastColumn(k); ++c)
            sum -= At(k, c) * b[static_cast<std::size_t>(c)];
        b[static_cast<std::size_t>(k)] = sum / At(k, k);
    }
}

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
