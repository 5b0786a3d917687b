#pragma once
// The configuration as the ECU keeps it: 13 numbered blocks, three of them (3, 4, 8) in
// two banks. RMappatura holds the 16 block images as byte strings, each always at its full
// size, so the record is a plain value (the undo point is a copy), a block is built by
// copying its bytes and a received block is parsed by copying what arrived.
//
// Image text: what a .cfg file holds after its header. A count byte (16), then 16 records,
// each a length byte and one block image, in the order 1, 2, 3/1, 3/2, 4/1, 4/2, 5, 6, 7,
// 8/1, 8/2, 9, 10, 11, 12, 13.

#include "link/frame.h"

#include <QByteArray>
#include <array>

namespace ambrel {

inline constexpr int kImageRecordCount = 16;
// Bytes of the image text as written: count byte, 16 length bytes and the blocks.
inline constexpr int kImageTextSize = 1380;

// Index 0..15 of a block and bank in the image order; -1 for a block outside 1..13.
int ImageRecordIndex(int block, int bank);
// Block and bank of an image record index.
struct TBlockBank {
    int Block;
    int Bank;
};
TBlockBank ImageRecordBlock(int index);

struct RMappatura {
    RMappatura();
    // The image of a block and bank (bank ignored for one-bank blocks): block number,
    // bank byte for the banked blocks, then the items.
    QByteArray& Image(int block, int bank = 1) { return Images[static_cast<size_t>(ImageRecordIndex(block, bank))]; }
    const QByteArray& Image(int block, int bank = 1) const {
        return Images[static_cast<size_t>(ImageRecordIndex(block, bank))];
    }
    quint8 Byte(int block, int offset, int bank = 1) const;
    int Word(int block, int offset, int bank = 1) const;
    // Stores a value into one byte (or little-endian word), held to 0..255 (0..65535).
    void SetByte(int block, int offset, qint64 value, int bank = 1);
    void SetWord(int block, int offset, qint64 value, int bank = 1);

    bool operator==(const RMappatura&) const = default;

    std::array<QByteArray, kImageRecordCount> Images;
};

class TRawData {
public:
    // Stores a received block image (the data part of a reply to cmdReadBlock) into the
    // record and returns its block number; 0 for an empty frame. Items that the image is
    // too short to hold keep their values; a block number outside 1..13 changes nothing.
    // A bank byte other than 1 means bank 2; the axes of a banked block are shared by
    // both banks.
    int ParseBlock(const TFrame& reply);
    int ParseBlockImage(const QByteArray& image);
    // The image of a block as the record holds it; the bank selects the bank's cells and
    // is written as the bank byte of blocks 3, 4 and 8. A block outside 1..13 gives just
    // its number.
    QByteArray BuildBlock(int block, int bank) const;

    // The whole image as one byte string, and back. FromText reads the count byte and
    // then as many whole records as the text holds (a record cut short by the end of the
    // text is left out) and returns how many it read.
    QByteArray ToText() const;
    int FromText(const QByteArray& text);

    RMappatura Record;
};

} // namespace ambrel
