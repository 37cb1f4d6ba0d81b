#pragma once

// The window's default field texts with some changed, for benchmarks that run the driver
// without a window or a file list.

#include "run/fields.h"
#include "run/user_interface.h"

#include <array>
#include <string>
#include <utility>
#include <vector>

namespace karrow::bench {

class BenchInterface : public UserInterface {
public:
    explicit BenchInterface(const std::vector<std::pair<int, const char*>>& changes)
    {
        for (int field = 1; field <= SaveFileNameField; ++field)
            texts_[static_cast<std::size_t>(field - 1)] = DefaultFieldText(field, '.');
        for (const auto& [field, text] : changes)
            texts_[static_cast<std::size_t>(field - 1)] = text;
    }
    std::string FieldText(int field) const override
    {
        return texts_[static_cast<std::size_t>(field - 1)];
    }
    void ShowMessage(const std::string&) override { }
    void ShowFinishDialog() override { }
    void RereadFileList() override { }

private:
    std::array<std::string, 15> texts_;
};

} // namespace karrow::bench
