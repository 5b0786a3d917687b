#pragma once
// Byte strings written as lists of numbers in tests: Bytes({0xFE, 0x01, 0x02}).

#include <QByteArray>
#include <initializer_list>

namespace ambrel::test {

inline QByteArray Bytes(std::initializer_list<int> list) {
    QByteArray b;
    for (int v : list)
        b.append(static_cast<char>(v));
    return b;
}

} // namespace ambrel::test
