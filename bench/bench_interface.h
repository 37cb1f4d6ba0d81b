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
    explicit BenchInterface(const std::vector<std::pair<Field, const char*>>& changes)
    {
        for (const auto& [field, text] : changes)
            texts_[field] = text;
    }
    std::string FieldText(Field field) const override { return texts_[field]; }
    void ShowMessage(const std::string&) override { }
    void ShowFinishDialog() override { }
    void RereadFileList() override { }

private:
    FieldTexts texts_ = DefaultFieldTexts('.');
};

} // namespace karrow::bench
