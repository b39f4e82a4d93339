// --tree DIR: a new header tree of the export, each record once. DIR must
// not exist or be empty; the tree is written into a hidden directory
// beside it and renamed into place when complete, so that DIR holds a
// whole tree or stays as it was.
#pragma once

#include <string>

#include "respdb/export.hpp"

namespace respdb {

class TreeOutput : public ExportSink {
public:
    explicit TreeOutput(std::string directory);  // std::runtime_error when DIR cannot be used
    ~TreeOutput() override;
    TreeOutput(const TreeOutput &) = delete;
    TreeOutput &operator=(const TreeOutput &) = delete;

    void dictionary(const std::vector<std::string> &records) override;
    void station(StationTree &tree) override;
    void commit();

private:
    void write(const std::string &path, const std::vector<std::string> &records);

    std::string directory_, work_;
    bool committed_ = false;
};

}  // namespace respdb
