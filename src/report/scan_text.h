// d88scan's text report: for each D88 file, its images, the disks of the
// set in them, and every file d88cut would not cut whole, and why.
#pragma once

#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "core/findings.h"

class TextReport final : public ScanListener {
public:
    explicit TextReport(std::ostream& out) : out_(out) {}

    void opened(const FileFindings& file) override;
    void image(const ImageFindings& image) override;
    void finished(const FileFindings& file) override;

private:
    std::ostream& out_;
};

// Hands what a scan finds to each of `writers`, and says on `err` when a
// file could not be opened or read, as d88scan does: the page shows the
// text report and draws from the JSON of one and the same scan.
class ScanReports final : public ScanListener {
public:
    ScanReports(std::ostream& err, std::vector<ScanListener*> writers)
        : err_(err), writers_(std::move(writers)) {}

    void opened(const FileFindings& file) override;
    void image(const ImageFindings& image) override;
    void finished(const FileFindings& file) override;

private:
    std::ostream& err_;
    std::vector<ScanListener*> writers_;
};

// d88scan's line on stderr for a file that could not be opened or read,
// or nothing.
std::string scanErrorLine(const FileFindings& file);

// d88scan's exit status over the files scanned so far: 2 once a file could
// not be opened or read, else 1 once a file would not be cut whole, else 0.
int scanStatus(int status, const FileFindings& file);
