// Helpers of the ZIP engine tests: in-process runs with captured output,
// data folders, scratch folders.
#pragma once
#include "unzip.h"
#include "zipos.h"
#include <gtest/gtest.h>
#include <cstdint>
#include <string>
#include <vector>

struct UNZRESULT {
    int code;
    std::string out, err;
};

// Runs the engine with argv[0] "unzip" and the given arguments.
UNZRESULT RunUnzip(const std::vector<std::string>& args, unz::ZIPOS* os = nullptr, UNZASK ask = nullptr,
                   void* askCtx = nullptr, UNZVISITOR* visitor = nullptr);

std::string GenPath(const std::string& rel);    // archives made by mkzips.py for this run
std::string DataPath(const std::string& rel);   // tests/data/zip

// A fresh scratch folder, removed with its contents at the end.
class TEMPDIR {
public:
    TEMPDIR();
    ~TEMPDIR();
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& rel) const { return path_ + "/" + rel; }
private:
    std::string path_;
};

bool ReadWhole(const std::string& path, std::string& data);
void WriteWhole(const std::string& path, const std::string& data);
unz::PATHKIND Kind(const std::string& path);
uint32_t Crc(const std::string& data);
std::vector<std::string> SplitTsv(const std::string& line);
