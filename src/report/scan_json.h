// d88scan --json: the same findings as the text report, as one JSON
// document, with every sector of every image and the sectors each file
// would be cut from. The document goes out as it is found, an image at a
// time: a file crowded with sectors gives a document of a hundred MB, which
// held whole would take some GiB.
#pragma once

#include <ostream>

#include "core/findings.h"

class JsonReport final : public ScanListener {
public:
    explicit JsonReport(std::ostream& out) : out_(out) {}

    // The document's head and tail, around every file's findings.
    void begin();
    void end();

    void opened(const FileFindings& file) override;
    void image(const ImageFindings& image) override;
    void finished(const FileFindings& file) override;

private:
    std::ostream& out_;
    bool firstFile_ = true;
    bool firstImage_ = true;
};
