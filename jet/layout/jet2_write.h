// Byte positions only the Jet 2.0 writer uses, learnt from the three Access
// 2.0 files of the corpus (docs/jet2-format.md, "What the writer relies on").
// The reader's positions (jet/layout/jet12_pages.h) are shared.
#pragma once

#include <cstddef>
#include <cstdint>

#include "jet/layout/jet12_pages.h"

namespace jet::layout::jet2 {

using namespace jet::layout::jet12;

inline constexpr std::uint8_t kVersionAccess20 = 0x09;
inline constexpr std::uint8_t kPageHeader = 0x01;      // page 0
inline constexpr std::uint8_t kPageSpaceMap = 0x07;    // page 1, all zero after its type
inline constexpr std::uint8_t kPageDuplicates = 0x08;  // row pointers of one index key

// Page 0.
inline constexpr std::size_t kPage0Unknown4 = 0x04;    // u32: 9, 4, 0x44 in the corpus
inline constexpr std::size_t kPage0Signature = 0x406;  // "Rich"
inline constexpr std::size_t kPage0Version = 0x40A;
inline constexpr std::size_t kPage0SortOrder = 0x412;
inline constexpr std::size_t kPage0CodePage = 0x414;
// From 0x418 to 0x4E8 every corpus file holds the same bytes: the system
// tables' pages and the catalog columns' Hcolumn values.
inline constexpr std::size_t kPage0Constant = 0x418;
inline constexpr std::size_t kPage0ConstantEnd = 0x4E8;

// Every page but 0 and 1: bytes 2-3 hold a value of 0x28BA-0x2CAE, always
// 2 mod 4, that readers ignore (pages written together differ by 4).
inline constexpr std::size_t kPageStamp = 0x02;
inline constexpr std::uint16_t kStampFirst = 0x28BA;
inline constexpr std::uint16_t kStampSlots = 254;

// Table definition page.
inline constexpr std::size_t kTdefKind = 0x08;  // 4 bytes: system or user
inline constexpr std::uint8_t kTdefKindSystem[4] = {0x80, 0x00, 0x40, 0x00};
inline constexpr std::uint8_t kTdefKindUser[4] = {0x00, 0x01, 0x80, 0x00};
inline constexpr std::size_t kTdefDataPages = 0x20;   // u32: number of data pages
inline constexpr std::size_t kTdefIndexLeaves = 4;    // u32 in an index entry: 0 for a leaf root
inline constexpr std::size_t kTdefIndexDistinct = 8;  // u32
inline constexpr std::size_t kTdefIndexSpare = 16;    // u32, 0 in user tables

// Data pages.
inline constexpr std::size_t kDataLowestRow = 0x0A;  // u16
inline constexpr std::size_t kDataPrevious = 0x10;   // u32
inline constexpr std::size_t kMaxRowsPerPage = 255;  // a row pointer's slot is one byte

// Index pages (0x03 node, 0x04 leaf, 0x08 duplicate list).
inline constexpr std::size_t kIndexNumber = 0x08;          // u16: the index's Idxid
inline constexpr std::size_t kIndexCount = 0x0A;           // u16: entries
inline constexpr std::size_t kIndexLowest = 0x0C;          // u16: lowest used byte
inline constexpr std::size_t kIndexFree = 0x0E;            // u16: bytes between the slots and it
inline constexpr std::size_t kIndexNext = 0x10;            // u32: next leaf
inline constexpr std::size_t kIndexPrevious = 0x14;        // u32: previous leaf
inline constexpr std::size_t kIndexSlots = 0x18;           // u16 per entry
inline constexpr std::uint16_t kSlotSeveralRows = 0x1000;  // count byte, then pointers
inline constexpr std::uint16_t kSlotRowList = 0x2000;      // 4 zero bytes, then a list page
inline constexpr std::uint16_t kSlotEnd = 0x0800;          // a node's slot after its last entry
// A node page keeps its last child in its last 4 bytes; every entry is the
// u32 child left of its key, the key length and the key.
inline constexpr std::size_t kNodeLastChild = kPageSize - 4;
// The most row pointers one leaf entry holds in the corpus, and what one
// list page holds (its pointers start at kIndexSlots).
inline constexpr std::size_t kMaxInlineRows = 36;
inline constexpr std::size_t kMaxListRows = (kPageSize - kIndexSlots) / 4;

// Long values: the reference a row holds and the chunk rows of table 2.
inline constexpr std::size_t kLongRefFlag = 12;     // u16: 1 on every memo and LvProp value
inline constexpr std::size_t kMaxChunkData = 1990;  // every full chunk in the corpus

// MSysColumns.Hcolumn: the size byte of memo and OLE columns.
inline constexpr std::uint8_t kLongValueSize = 0xFF;
// Object and column names (Access 2.0 allows 64 characters).
inline constexpr std::size_t kMaxNameLength = 64;

}  // namespace jet::layout::jet2
