// What the main unit sends the PC: XML documents (connection.xml and every received file) and the
// lines of its requests and responses. The first byte chooses the road, the rest is the input.
// The reader must refuse or read any document without reading past it, and hand out CP932 text;
// the line parsers must read nothing past a line's end.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "net/transfer_session.h"
#include "net/xml_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 4) {
        case 0: {
            qzs::net::CXmlReader reader;
            if (reader.LoadBytes(input) == 1) {
                for (const char* tag :
                     {"fw_ver", "dev_type", "password", "systan", "h000", "i92"}) {
                    for (const std::string& text : reader.SelectNode(tag)) {
                        if (text.size() > input.size() * 4 + 16) __builtin_trap();
                    }
                }
            }
            break;
        }
        case 1: {
            qzs::net::CTransferSession session(nullptr, {});
            session.ParseRequestLine(input);
            break;
        }
        case 2: {
            qzs::net::CTransferSession session(nullptr, {});
            session.ParseStatusLine(input);
            if (session.StatusClass() > 5) __builtin_trap();
            break;
        }
        default: {
            qzs::net::CTransferSession session(nullptr, {});
            qzs::net::CHttpFields fields;
            session.set_phase(1 + static_cast<int>(size % 3));
            session.ParseHeaderLine(input, fields);
            if (fields.content_length > 999999999) __builtin_trap();
            break;
        }
    }
    return 0;
}
