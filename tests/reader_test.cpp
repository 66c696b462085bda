// The D88 reader: the catalogue of the images in one file, the current
// image, and sector reads by ID, as runs across track sides and as listings.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "disk_set.h"
#include "test_support.h"

namespace {

// Contents that tell every sector, and every 256-byte stretch of it, apart,
// so a read from the wrong record or the wrong place in it shows.
Bytes contents(SectorId id, size_t size, int salt = 0)
{
    Bytes data(size);
    for (size_t i = 0; i < size; ++i)
        data[i] = uint8_t(i * 7 + (i >> 8) * 3 + id.c * 61 + id.h * 31 + id.r * 17 + id.n * 5 +
                          salt * 101);
    return data;
}

D88Builder::Record& add(D88Builder& disk, int track, SectorId id, size_t size, int salt = 0)
{
    return disk.addSector(track, id, contents(id, size, salt));
}

// An image with one 256-byte sector, C 0 H 0 R 1 N 1, on track 0.
D88Builder oneSector(int salt, const std::string& name = "")
{
    D88Builder disk;
    disk.setName(name);
    add(disk, 0, SectorId{0, 0, 1, 1}, 256, salt);
    return disk;
}

Bytes cut(Bytes data, size_t tail)
{
    data.resize(data.size() - tail);
    return data;
}

class ReaderTest : public ::testing::Test {
protected:
    bool openFile(const Bytes& data)
    {
        writeBytes(path_, data);
        return reader.open(path_.c_str());
    }
    void openSelected(const Bytes& data)
    {
        ASSERT_TRUE(openFile(data));
        ASSERT_TRUE(reader.selectImage(0));
    }
    std::vector<int32_t> offsets() const
    {
        std::vector<int32_t> out;
        for (int32_t i = 0; i < reader.imageCount(); ++i)
            out.push_back(reader.imageOffset(i));
        return out;
    }
    // The salt of the one-sector image that reads find, -1 when none.
    int sectorSalt()
    {
        uint8_t buf[256];
        if (reader.readSector(0, 0, 0, 1, 1, buf, 256) != 256)
            return -1;
        for (int salt = 0; salt < 16; ++salt)
            if (Bytes(buf, buf + 256) == contents({0, 0, 1, 1}, 256, salt))
                return salt;
        return -2;
    }
    bool nothingCurrent()
    {
        return reader.mediaType() == -1 && *reader.diskName() == '\0' && sectorSalt() == -1;
    }

    ScratchDir dir;
    const std::string path_ = (dir / "disk.d88").string();
    D88Reader reader;
};

class Catalogue : public ReaderTest {};
class SelectImage : public ReaderTest {};
class ReadSector : public ReaderTest {};
class ReadRun : public ReaderTest {};
class ListSectors : public ReaderTest {};

TEST_F(Catalogue, OpenCloseAndOpenAgain)
{
    uint8_t buf[1024];
    EXPECT_EQ(reader.imageCount(), 0);
    EXPECT_TRUE(nothingCurrent());
    EXPECT_FALSE(reader.selectImage(0));
    EXPECT_EQ(reader.readRun(0, 0, 0, 1, 1, buf, 256), 0);
    SectorInfo none[4];
    EXPECT_EQ(reader.listSectors(0, none, 4), 0);
    EXPECT_FALSE(reader.open((dir / "missing.d88").string().c_str()));
    EXPECT_FALSE(reader.selectImage(0));

    openSelected(join({oneSector(1, "KEEP").image(), oneSector(2).image()}));
    reader.close();
    // Closing drops the file but not the last image's name.
    EXPECT_EQ(reader.imageCount(), 0);
    EXPECT_STREQ(reader.diskName(), "KEEP");
    EXPECT_EQ(reader.mediaType(), -1);
    EXPECT_EQ(sectorSalt(), -1);
    EXPECT_FALSE(reader.selectImage(0));

    ASSERT_TRUE(openFile(join({oneSector(1).image(), oneSector(2).image()})));
    writeBytes(dir / "other.d88", oneSector(3, "OTHER").image());
    ASSERT_TRUE(reader.open((dir / "other.d88").string().c_str()));
    EXPECT_EQ(offsets(), std::vector<int32_t>{0});
    ASSERT_TRUE(reader.selectImage(0));
    EXPECT_STREQ(reader.diskName(), "OTHER");
    EXPECT_EQ(sectorSalt(), 3);

    reader.close();
    EXPECT_EQ(reader.imageCount(), 0);
    EXPECT_FALSE(reader.selectImage(0));
}

TEST_F(Catalogue, WalksFromHeaderToHeader)
{
    const Bytes a = oneSector(1).image(), b = oneSector(2).image();
    const Bytes bare = D88Builder().image();  // a header alone, 688 bytes
    const int32_t sa = int32_t(a.size()), sb = int32_t(b.size());
    D88Builder zero = oneSector(3), negative = oneSector(4), huge = oneSector(5);
    zero.setImageSize(0);
    negative.setImageSize(0x80000000u);
    huge.setImageSize(0x7FFFFFFFu);
    std::vector<int32_t> first64, repeated(64, sa);
    repeated[0] = 0;
    for (int i = 0; i < 64; ++i)
        first64.push_back(688 * i);

    struct WalkCase { const char* what; Bytes file; std::vector<int32_t> expected; };
    const WalkCase cases[] = {
        {"empty file", {}, {}},
        {"shorter than a header", bytes(687, 0), {}},
        {"two images", join({a, b}), {0, sa}},
        {"tail shorter than a header", join({a, b, cut(bare, 1)}), {0, sa}},
        {"tail of a whole header", join({a, b, bare}), {0, sa, sa + sb}},
        {"size 0 reads the same header again", join({a, zero.image(), b}), repeated},
        {"only the first 64 images", repeat(bare, 65), first64},
        {"next image before the file", join({a, negative.image(), b}), {0, sa}},
        {"next image past 2^31 - 1", join({a, huge.image(), b}), {0, sa}},
    };
    for (const WalkCase& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(openFile(c.file));
        EXPECT_EQ(offsets(), c.expected);
        EXPECT_EQ(reader.imageOffset(reader.imageCount()), -1);
    }
}

TEST_F(Catalogue, ImagePastTwoGigabytesIsReadWithWideOffsets)
{
    // The second image begins just short of 2^31, so its sector lies past
    // it, and a third would begin out of a signed 32-bit offset's reach.
    // The file is sparse: only the bytes written take room.
    constexpr int64_t farAt = 0x7FFFFF00;
    D88Builder near = oneSector(1);
    near.setImageSize(uint32_t(farAt));
    {
        std::ofstream out(path_, std::ios::binary);
        const Bytes parts[] = {near.image(), oneSector(2, "FAR").image(), bytes(688, 0)};
        for (const Bytes& part : parts) {
            out.write(reinterpret_cast<const char*>(part.data()), std::streamsize(part.size()));
            if (&part == &parts[0])
                out.seekp(farAt);
        }
        if (!out)
            GTEST_SKIP() << "no sparse file past 2 GiB could be made in the temporary folder; "
                            "point TMPDIR at a file system that has sparse files";
    }
    ASSERT_TRUE(reader.open(path_.c_str()));
    EXPECT_EQ(offsets(), (std::vector<int32_t>{0, int32_t(farAt)}));
    ASSERT_TRUE(reader.selectImage(1));
    EXPECT_STREQ(reader.diskName(), "FAR");
    EXPECT_EQ(sectorSalt(), 2);
}

TEST_F(SelectImage, HoldsNameAndMediaType)
{
    struct NameCase { const char* what; std::string name; uint8_t media; const char* expected; };
    const NameCase cases[] = {
        {"17 name bytes keep the first 16", "ABCDEFGHIJKLMNOPQ", 0x00, "ABCDEFGHIJKLMNOP"},
        {"exactly 16 bytes", "ABCDEFGHIJKLMNOP", 0x10, "ABCDEFGHIJKLMNOP"},
        {"5 bytes then NUL", std::string("\xB5\xDD\xB6\xDE!\0JUNK", 10), 0x20, "\xB5\xDD\xB6\xDE!"},
        {"no name, media type above 0x7F", "", 0xFF, ""},
    };
    for (const NameCase& c : cases) {
        SCOPED_TRACE(c.what);
        D88Builder disk = oneSector(1, c.name);
        disk.setMediaType(c.media);
        openSelected(disk.image());
        EXPECT_STREQ(reader.diskName(), c.expected);
        EXPECT_EQ(reader.mediaType(), int32_t(c.media));
    }
}

TEST_F(SelectImage, FailureLeavesNoCurrentImage)
{
    const Bytes a = oneSector(1, "SIXTEEN BYTES AB").image();
    ASSERT_TRUE(openFile(join({a, oneSector(2, "B").image()})));
    EXPECT_TRUE(nothingCurrent());
    for (int index : {0, 1}) {  // each image reads its own tracks
        ASSERT_TRUE(reader.selectImage(index));
        EXPECT_STREQ(reader.diskName(), index == 0 ? "SIXTEEN BYTES AB" : "B");
        EXPECT_EQ(sectorSalt(), index + 1);
    }
    EXPECT_FALSE(reader.selectImage(reader.imageCount()));
    EXPECT_TRUE(nothingCurrent());
    ASSERT_TRUE(reader.selectImage(0));
    EXPECT_FALSE(reader.selectImage(-1));
    EXPECT_TRUE(nothingCurrent());

    // The file shrinks under the open reader and cuts the second header.
    fs::resize_file(path_, a.size() + 100);
    ASSERT_TRUE(reader.selectImage(0));
    EXPECT_FALSE(reader.selectImage(1));
    EXPECT_TRUE(nothingCurrent());

    // A closed reader refuses and keeps what it had.
    ASSERT_TRUE(reader.selectImage(0));
    reader.close();
    EXPECT_FALSE(reader.selectImage(0));
    EXPECT_STREQ(reader.diskName(), "SIXTEEN BYTES AB");
}

// Five sectors on track 0; a short sector and a small one on track 1; one
// ID twice on track 2; track 3 unformatted; ID bytes above 0x7F and a
// 32 KiB sector on track 4; the last track of the table, 163, in use.
D88Builder lookupDisk()
{
    D88Builder disk;
    for (uint8_t r = 1; r <= 5; ++r)
        add(disk, 0, SectorId{0, 0, r, 3}, 1024);
    add(disk, 1, SectorId{0, 1, 1, 3}, 512);
    add(disk, 1, SectorId{0, 1, 2, 1}, 256);
    add(disk, 2, SectorId{1, 0, 1, 3}, 1024, 1);
    add(disk, 2, SectorId{1, 0, 1, 3}, 1024, 2);
    add(disk, 4, SectorId{2, 0, 1, 8}, 0x8000);
    add(disk, 4, SectorId{0xFF, 0x80, 0xF5, 1}, 256);
    add(disk, 163, SectorId{81, 1, 1, 3}, 1024);
    return disk;
}

TEST_F(ReadSector, FindsTheRecordByItsId)
{
    D88Builder disk = lookupDisk();
    openSelected(disk.image());
    struct SectorCase { const char* what; int track, c, h, r, n, maxLen, expected, record; };
    const SectorCase cases[] = {
        {"first of five", 0, 0, 0, 1, 3, 1024, 1024, 0},
        {"last of five", 0, 0, 0, 5, 3, 1024, 1024, 4},
        {"maxLen 256 takes the first 256 bytes", 0, 0, 0, 3, 3, 256, 256, 2},
        {"maxLen 0", 0, 0, 0, 3, 3, 0, 0, 0},
        {"short sector delivers its data size", 1, 0, 1, 1, 3, 1024, 512, 0},
        {"skips by the data size, not by N", 1, 0, 1, 2, 1, 256, 256, 1},
        {"first of two like IDs wins", 2, 1, 0, 1, 3, 1024, 1024, 0},
        {"32 KiB sector", 4, 2, 0, 1, 8, 1024, 1024, 0},
        {"ID bytes are unsigned, past a 32 KiB sector", 4, 0xFF, 0x80, 0xF5, 1, 256, 256, 1},
        {"R absent among five", 0, 0, 0, 6, 3, 1024, 0, 0},
        {"C differs", 0, 1, 0, 1, 3, 1024, 0, 0},
        {"H differs", 0, 0, 1, 1, 3, 1024, 0, 0},
        {"N differs", 0, 0, 0, 1, 2, 1024, 0, 0},
        {"C beyond a byte", 0, 256, 0, 1, 3, 1024, 0, 0},
        {"R beyond a byte", 0, 0, 0, 257, 3, 1024, 0, 0},
        {"N below 0", 0, 0, 0, 1, -253, 1024, 0, 0},
        {"last track of the table", 163, 81, 1, 1, 3, 1024, 1024, 0},
        {"unformatted track", 3, 0, 0, 1, 3, 1024, 0, 0},
        {"track -1", -1, 0, 0, 1, 3, 1024, 0, 0},
        {"track 164", 164, 0, 0, 1, 3, 1024, 0, 0},
    };
    for (const SectorCase& c : cases) {
        SCOPED_TRACE(c.what);
        uint8_t buf[1024];
        ASSERT_EQ(reader.readSector(c.track, c.c, c.h, c.r, c.n, buf, c.maxLen), c.expected);
        const Bytes& data = c.expected > 0 ? disk.track(c.track)[size_t(c.record)].data : Bytes();
        EXPECT_EQ(Bytes(buf, buf + c.expected), Bytes(data.begin(), data.begin() + c.expected));
    }
}

TEST_F(ReadSector, TrackOffsetMustLieInsideTheImage)
{
    D88Builder atEnd = oneSector(1), pastEnd = oneSector(1), backwards = oneSector(1);
    atEnd.setImageSize(688);  // the track begins right where the image ends
    pastEnd.setImageSize(687);
    const Bytes first = oneSector(1).image();
    // Taken as negative, it would lead back to the sector of the image before.
    backwards.setTrackOffset(0, uint32_t(-int32_t(first.size() - 688)));
    struct BoundCase { const char* what; Bytes file; int image, salt; };
    const BoundCase cases[] = {
        {"offset equal to the image size", atEnd.image(), 0, 1},
        {"offset past the image size", pastEnd.image(), 0, -1},
        {"negative offset", join({first, backwards.image()}), 1, -1},
    };
    for (const BoundCase& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(openFile(c.file));
        ASSERT_TRUE(reader.selectImage(c.image));
        EXPECT_EQ(sectorSalt(), c.salt);
    }
}

// Track walks whose record counts lie or whose file ends early. Each walk
// starts on track 0, and track 1's records follow track 0's in the file;
// listSectors walks the same records that readSector does.
TEST_F(ReadSector, WalkAlwaysEnds)
{
    struct Rec { int track; SectorId id; int count; };  // count -1: as laid out
    auto image = [](std::initializer_list<Rec> recs, size_t tail = 0) {
        D88Builder disk;
        for (const Rec& rec : recs)
            add(disk, rec.track, rec.id, 1024).recordCount = rec.count;
        return cut(disk.image(), tail);
    };
    const SectorId r1{0, 0, 1, 3}, r2{0, 0, 2, 3}, r3{0, 0, 3, 3}, r4{0, 0, 4, 3}, r5{0, 0, 5, 3};
    const SectorId s1{0, 1, 1, 3}, s2{0, 1, 2, 3}, s3{0, 1, 3, 3};
    struct WalkCase {
        const char* what;
        Bytes image;
        SectorId wanted;
        int delivered;                 // by readSector, of 1024 bytes
        std::vector<SectorId> listed;  // by listSectors
    };
    const WalkCase cases[] = {
        {"count 0 at once", image({{0, r1, 0}, {0, r2, 0}}), r1, 0, {}},
        {"count 0 further on", image({{0, r1, 4}, {0, r2, 4}, {0, r3, 0}, {0, r4, 4}}), r4, 0,
         {r1, r2}},
        // The record whose count does not reach past its position is read,
        // and the walk ends after it.
        {"count not greater than the position is still read",
         image({{0, r1, 5}, {0, r2, 5}, {0, r3, 5}, {0, r4, 2}, {0, r5, 5}}), r4, 1024,
         {r1, r2, r3, r4}},
        {"walk ends after the record whose count is not greater",
         image({{0, r1, 5}, {0, r2, 5}, {0, r3, 5}, {0, r4, 2}, {0, r5, 5}}), r5, 0,
         {r1, r2, r3, r4}},
        {"ends after the last record", image({{0, r1, -1}, {0, r2, -1}, {1, r3, 10}}), r3, 0,
         {r1, r2}},
        {"count of 258 reads on into the next track",
         image({{0, r1, 258}, {0, r2, 258}, {1, s1, 4}, {1, s2, 4}, {1, s3, 4}}), s2, 1024,
         {r1, r2, s1, s2}},
        {"header cut by the end of file", image({{0, r1, 3}, {0, r2, 3}, {0, r3, 3}}, 1024 + 6),
         r3, 0, {r1, r2}},
        {"data cut by the end of file", image({{0, r1, -1}, {0, r2, -1}}, 924), r2, 100,
         {r1, r2}},
    };
    for (const WalkCase& c : cases) {
        SCOPED_TRACE(c.what);
        openSelected(c.image);
        Bytes buf(1024), ids, listed;
        const SectorId& w = c.wanted;
        ASSERT_EQ(reader.readSector(0, w.c, w.h, w.r, w.n, buf.data(), 1024), c.delivered);
        EXPECT_EQ(cut(buf, size_t(1024 - c.delivered)),
                  cut(contents(w, 1024), size_t(1024 - c.delivered)));
        for (const SectorId& id : c.listed)
            ids.insert(ids.end(), {id.c, id.h, id.r, id.n});
        SectorInfo infos[16];
        const int32_t count = reader.listSectors(0, infos, 16);
        for (int32_t i = 0; i < count; ++i)
            listed.insert(listed.end(), {infos[i].id.c, infos[i].id.h, infos[i].id.r, infos[i].id.n});
        EXPECT_EQ(listed, ids);
    }
}

TEST_F(ListSectors, ListsOnlyAsManyAsThereIsRoomFor)
{
    openSelected(lookupDisk().image());
    struct ListCase { const char* what; int track, room, expected; };
    const ListCase cases[] = {
        {"room to spare", 0, 8, 5},      {"room for exactly five", 0, 5, 5},
        {"room for four", 0, 4, 4},      {"room for one", 0, 1, 1},
        {"no room", 0, 0, 0},            {"negative room", 0, -4, 0},
        {"unformatted track", 3, 8, 0},  {"track 164", 164, 8, 0},
    };
    for (const ListCase& c : cases) {
        SCOPED_TRACE(c.what);
        SectorInfo out[8] = {};
        ASSERT_EQ(reader.listSectors(c.track, out, c.room), c.expected);
        for (int i = 0; i < 8; ++i) {
            EXPECT_EQ(out[i].id.r, i < c.expected ? i + 1 : 0);
            EXPECT_EQ(out[i].size, i < c.expected ? 1024 : 0);
        }
    }
}

TEST_F(ReadRun, GoesOnAcrossTrackSides)
{
    // Tracks 0 to 3 (C 0 and 1) of five 1024-byte sectors; track 4 lacks
    // R 3; track 5 holds one sector of only 512 bytes.
    D88Builder disk;
    for (int track = 0; track < 4; ++track)
        for (uint8_t r = 1; r <= 5; ++r)
            disk.addSector(track, SectorId{uint8_t(track / 2), uint8_t(track % 2), r, 3},
                           markedSector(0, track, r));
    for (uint8_t r : {1, 2, 4, 5})
        disk.addSector(4, SectorId{2, 0, r, 3}, markedSector(0, 4, r));
    disk.addSector(5, SectorId{2, 1, 1, 3}, cut(markedSector(0, 5, 1), 512));
    writeBytes(path_, disk.image());

    struct RunCase {
        const char* what;
        int first, last;  // sector range; 0: as constructed
        int track, c, h, r, length, expected;
        std::vector<std::pair<int, int>> sectors;  // track and R of each sector read
    };
    const RunCase cases[] = {
        {"head 1 to head 0 of the next cylinder, last read 512", 1, 5, 1, 0, 1, 5, 5632, 5632,
         {{1, 5}, {2, 1}, {2, 2}, {2, 3}, {2, 4}, {2, 5}}},
        {"range 1 to 16 looks for R 6", 0, 0, 0, 0, 0, 1, 6144, 5120,
         {{0, 1}, {0, 2}, {0, 3}, {0, 4}, {0, 5}}},
        {"head 0 to head 1, starting at the first of the range", 2, 5, 0, 0, 0, 5, 2048, 2048,
         {{0, 5}, {1, 2}}},
        {"missing sector after two whole ones", 1, 5, 4, 2, 0, 1, 4096, 2048, {{4, 1}, {4, 2}}},
        {"short first sector counts nothing", 1, 5, 5, 2, 1, 1, 1024, 0, {}},
        {"length within a short sector", 1, 5, 5, 2, 1, 1, 512, 512, {{5, 1}}},
        {"length 0", 1, 5, 0, 0, 0, 1, 0, 0, {}},
        {"negative length", 1, 5, 0, 0, 0, 1, -1024, 0, {}},
    };
    for (const RunCase& c : cases) {
        SCOPED_TRACE(c.what);
        D88Reader fresh;  // with the range as constructed
        ASSERT_TRUE(fresh.open(path_.c_str()));
        ASSERT_TRUE(fresh.selectImage(0));
        if (c.first != 0)
            fresh.setSectorRange(c.first, c.last);
        Bytes buf = bytes(8192, 0xCC), expected;
        ASSERT_EQ(fresh.readRun(c.track, c.c, c.h, c.r, 3, buf.data(), c.length), c.expected);
        for (const auto& [track, r] : c.sectors) {
            const Bytes sector = markedSector(0, track, r);
            expected.insert(expected.end(), sector.begin(), sector.end());
        }
        expected.resize(size_t(c.expected));
        EXPECT_EQ(Bytes(buf.begin(), buf.begin() + c.expected), expected);
        // Nothing lands past the length asked for.
        const size_t end = size_t(std::max(c.length, 0));
        EXPECT_EQ(Bytes(buf.begin() + end, buf.end()), bytes(buf.size() - end, 0xCC));
    }
}

TEST(RealImage, FindsEverySectorAsItStandsInTheFile)
{
    const fs::path path = fs::path(TESTDATA_DIR) / "x1-sos-test.d88";
    ASSERT_TRUE(fs::exists(path)) << path << " is missing from the checkout";
    const Bytes file = readBytes(path);
    ASSERT_EQ(file.size(), 348848u);
    auto trackAt = [&](size_t t) { return size_t(readLe32(&file[0x20 + 4 * t])); };

    D88Reader reader;
    ASSERT_TRUE(reader.open(path.string().c_str()));
    ASSERT_EQ(reader.imageCount(), 1);
    ASSERT_TRUE(reader.selectImage(0));
    EXPECT_EQ(reader.mediaType(), 0x00);
    EXPECT_STREQ(reader.diskName(), "");
    uint8_t buf[512];
    SectorInfo infos[32];
    ASSERT_EQ(reader.readSector(1, 0, 1, 1, 1, buf, 256), 256);
    EXPECT_EQ(std::memcmp(buf, "\x01testPause    bi", 16), 0);  // its first directory entry

    // Walk the records straight from the file's bytes: 80 track sides of
    // sixteen 256-byte sectors, R 1 to 16, each record stating 16 records.
    int sides = 0;
    for (size_t track = 0; track < size_t(D88Reader::trackCount); ++track) {
        SCOPED_TRACE(track);
        const int32_t listed = reader.listSectors(int32_t(track), infos, 32);
        size_t at = trackAt(track);
        sides += at != 0;
        ASSERT_EQ(listed, at == 0 ? 0 : 16);
        for (int k = 0; at != 0 && k < 16; ++k, at += 16 + 256) {
            const uint8_t* id = &file[at];
            const uint8_t c = uint8_t(track / 2), h = uint8_t(track % 2), r = uint8_t(k + 1);
            ASSERT_EQ(Bytes(id, id + 16), (Bytes{c, h, r, 1, 16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}));
            const SectorId& got = infos[k].id;
            EXPECT_EQ((Bytes{got.c, got.h, got.r, got.n}), (Bytes{c, h, r, 1}));
            EXPECT_EQ(infos[k].size, 256);
            ASSERT_EQ(reader.readSector(int32_t(track), c, h, r, 1, buf, 256), 256);
            EXPECT_EQ(std::memcmp(buf, &file[at + 16], 256), 0);
        }
    }
    EXPECT_EQ(sides, 80);

    // A run from the last sector of track 1 goes on at R 1 of track 2.
    reader.setSectorRange(1, 16);
    ASSERT_EQ(reader.readRun(1, 0, 1, 16, 1, buf, 512), 512);
    EXPECT_EQ(std::memcmp(buf, &file[trackAt(1) + 15 * 272 + 16], 256), 0);
    EXPECT_EQ(std::memcmp(buf + 256, &file[trackAt(2) + 16], 256), 0);
}

}  // namespace
