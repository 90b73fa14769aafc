// Reads one XML document from the main unit (connection.xml and every received data file) and
// hands out the texts of its elements by tag name. The document is untrusted: nothing is fetched
// from the network, no DTD is loaded and no entity is expanded. Texts come out as CP932, the
// code of every other text in the program.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qzs::net {

class CXmlReader {
  public:
    CXmlReader();
    virtual ~CXmlReader();
    CXmlReader(const CXmlReader&) = delete;
    CXmlReader& operator=(const CXmlReader&) = delete;

    // 1 when the file was read and is well-formed, 0 otherwise (a previous document is dropped).
    [[nodiscard]] int Load(const std::string& path);
    // The same from bytes in memory.
    [[nodiscard]] int LoadBytes(std::string_view bytes);

    // The concatenated text content of every element of that name, wherever it stands, in
    // document order, as CP932 (a character CP932 cannot hold becomes '?'). Empty when there is
    // no document or no such element. The name is compared as CP932 too.
    std::vector<std::string> SelectNode(std::string_view tag_name) const;
    // The text of the first element of that name; empty when there is none.
    std::string FirstText(std::string_view tag_name) const;

    const std::string& path() const { return path_; }
    // What the parser said about the last failed load (for logs; never shown).
    const std::string& error_message() const { return error_message_; }

    // Documents larger than this are refused unread.
    static constexpr std::size_t kMaxDocumentBytes = 64u << 20;

  private:
    struct Document;
    std::string path_;
    std::unique_ptr<Document> document_;
    std::string error_message_;
};

}  // namespace qzs::net
