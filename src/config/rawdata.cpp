#include "rawdata.h"

#include "link/commands.h"

#include <algorithm>

namespace ambrel {

namespace {

constexpr TBlockBank kImageOrder[kImageRecordCount] = {
    {1, 1}, {2, 1}, {3, 1}, {3, 2}, {4, 1}, {4, 2}, {5, 1}, {6, 1},
    {7, 1}, {8, 1}, {8, 2}, {9, 1}, {10, 1}, {11, 1}, {12, 1}, {13, 1},
};

// Offset where the cells of a banked block start; before it the block number, the bank
// byte and the two axes shared by both banks.
constexpr int kBankedCells = 23;

// The longest prefix of a block image that ends on an item boundary: a text or a word is
// taken whole or not at all. Blocks 1 (three texts) and 12 (words) have multi-byte items.
int WholeItems(int block, int length) {
    length = std::min(length, BlockImageSize(block));
    if (block == 1) {
        // block number, make 1..20, model 21..40, date 41..46, then bytes
        for (const auto& [start, end] : {std::pair{1, 21}, std::pair{21, 41}, std::pair{41, 47}})
            if (length > start && length < end)
                return start;
    } else if (block == 12) {
        for (const int start : {15, 57, 99, 141}) {
            const int end = start + 28;
            if (length > start && length < end)
                return start + (length - start) / 2 * 2;
        }
    }
    return length;
}

} // namespace

int ImageRecordIndex(int block, int bank) {
    for (int i = 0; i < kImageRecordCount; ++i)
        if (kImageOrder[i].Block == block && (!IsBankedBlock(block) || kImageOrder[i].Bank == (bank == 1 ? 1 : 2)))
            return i;
    return -1;
}

TBlockBank ImageRecordBlock(int index) {
    return kImageOrder[std::clamp(index, 0, kImageRecordCount - 1)];
}

RMappatura::RMappatura() {
    for (int i = 0; i < kImageRecordCount; ++i) {
        const TBlockBank bb = kImageOrder[i];
        QByteArray image(BlockImageSize(bb.Block), '\0');
        image[0] = static_cast<char>(bb.Block);
        if (IsBankedBlock(bb.Block))
            image[1] = static_cast<char>(bb.Bank);
        Images[static_cast<size_t>(i)] = image;
    }
}

quint8 RMappatura::Byte(int block, int offset, int bank) const {
    return static_cast<quint8>(Image(block, bank).at(offset));
}

int RMappatura::Word(int block, int offset, int bank) const {
    return Byte(block, offset, bank) + 256 * Byte(block, offset + 1, bank);
}

void RMappatura::SetByte(int block, int offset, qint64 value, int bank) {
    Image(block, bank)[offset] = static_cast<char>(std::clamp<qint64>(value, 0, 255));
}

void RMappatura::SetWord(int block, int offset, qint64 value, int bank) {
    const auto w = static_cast<quint16>(std::clamp<qint64>(value, 0, 65535));
    QByteArray& image = Image(block, bank);
    image[offset] = static_cast<char>(w & 0xFF);
    image[offset + 1] = static_cast<char>(w >> 8);
}

int TRawData::ParseBlock(const TFrame& reply) {
    return ParseBlockImage(reply.FrameDataPart());
}

int TRawData::ParseBlockImage(const QByteArray& image) {
    if (image.isEmpty())
        return 0;
    const int block = static_cast<quint8>(image.at(0));
    if (BlockImageSize(block) == 0)
        return block;
    const int length = WholeItems(block, static_cast<int>(image.size()));
    if (!IsBankedBlock(block)) {
        Record.Image(block).replace(0, length, image.left(length));
        return block;
    }
    // The bank byte decides where the cells go; the record keeps each bank's own number.
    const int bank = image.size() >= 2 && static_cast<quint8>(image.at(1)) == 1 ? 1 : 2;
    if (length <= 2)
        return block;
    for (const int b : {1, 2}) {
        const int end = b == bank ? length : std::min(length, kBankedCells);
        Record.Image(block, b).replace(2, end - 2, image.mid(2, end - 2));
    }
    return block;
}

QByteArray TRawData::BuildBlock(int block, int bank) const {
    if (BlockImageSize(block) == 0)
        return QByteArray(1, static_cast<char>(std::clamp(block, 0, 255)));
    QByteArray image = Record.Image(block, bank);
    if (IsBankedBlock(block))
        image[1] = static_cast<char>(std::clamp(bank, 0, 255));
    return image;
}

QByteArray TRawData::ToText() const {
    QByteArray text;
    text.reserve(kImageTextSize);
    text.append(static_cast<char>(kImageRecordCount));
    for (const TBlockBank& bb : kImageOrder) {
        const QByteArray image = BuildBlock(bb.Block, bb.Bank);
        text.append(static_cast<char>(image.size()));
        text.append(image);
    }
    return text;
}

int TRawData::FromText(const QByteArray& text) {
    if (text.isEmpty())
        return 0;
    const int count = static_cast<quint8>(text.at(0));
    qsizetype at = 1;
    int read = 0;
    for (; read < count && at < text.size(); ++read) {
        const int length = static_cast<quint8>(text.at(at));
        if (at + 1 + length > text.size())
            break;
        // Each record is taken as the block read from the ECU would be.
        ParseBlockImage(text.mid(at + 1, length));
        at += 1 + length;
    }
    return read;
}

} // namespace ambrel
