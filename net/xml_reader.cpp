#include "net/xml_reader.h"

#include <iconv.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlIO.h>
#include <libxml/xmlerror.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <mutex>

namespace qzs::net {
namespace {

// Every external entity, DTD or schema the parser would fetch is refused: the documents come
// from a main unit on the wire and must not make the program read local files or the network.
xmlParserInputPtr RefuseExternalEntity(const char* /*url*/, const char* /*id*/,
                                       xmlParserCtxtPtr /*context*/) {
    return nullptr;
}

void PrepareLibxml() {
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        xmlSetExternalEntityLoader(RefuseExternalEntity);
    });
}

// libxml2 tells what it meets through the calling thread's error handlers, and some of its
// messages come with no parser context (a byte the encoding lacks: "encoding error ..."), which
// XML_PARSE_NOERROR does not silence: by default they go to stderr. While one document is read,
// the thread's handlers keep the first message for the reader instead; the handlers it had are
// put back after.
class ParserMessages {
  public:
    ParserMessages()
        : structured_(xmlStructuredError),
          structured_context_(xmlStructuredErrorContext),
          generic_(xmlGenericError),
          generic_context_(xmlGenericErrorContext) {
        xmlSetStructuredErrorFunc(this, &Structured);
        xmlSetGenericErrorFunc(this, &Generic);
    }
    ~ParserMessages() {
        xmlSetStructuredErrorFunc(structured_context_, structured_);
        xmlSetGenericErrorFunc(generic_context_, generic_);
    }
    ParserMessages(const ParserMessages&) = delete;
    ParserMessages& operator=(const ParserMessages&) = delete;

    const std::string& first() const { return first_; }

  private:
    void Keep(const char* text) {
        if (!first_.empty() || text == nullptr) return;
        first_ = text;
        while (!first_.empty() && (first_.back() == '\n' || first_.back() == ' '))
            first_.pop_back();
    }
    static void Structured(void* self, xmlErrorPtr error) {
        if (error != nullptr) static_cast<ParserMessages*>(self)->Keep(error->message);
    }
    static void Generic(void* self, const char* format, ...) {
        char text[256];
        va_list args;
        va_start(args, format);
        std::vsnprintf(text, sizeof text, format, args);
        va_end(args);
        static_cast<ParserMessages*>(self)->Keep(text);
    }

    xmlStructuredErrorFunc structured_;
    void* structured_context_;
    xmlGenericErrorFunc generic_;
    void* generic_context_;
    std::string first_;
};

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// The value of encoding="..." in the XML declaration, empty when there is none.
std::string DeclaredEncoding(std::string_view bytes) {
    if (!bytes.starts_with("<?xml")) return {};
    const std::size_t end = bytes.find("?>");
    if (end == std::string_view::npos) return {};
    const std::string_view declaration = bytes.substr(0, end);
    const std::size_t key = declaration.find("encoding");
    if (key == std::string_view::npos) return {};
    std::size_t p = declaration.find_first_of("\"'", key);
    if (p == std::string_view::npos) return {};
    const char quote = declaration[p];
    const std::size_t close = declaration.find(quote, p + 1);
    if (close == std::string_view::npos) return {};
    return std::string(declaration.substr(p + 1, close - p - 1));
}

bool IsShiftJisName(const std::string& name) {
    static const char* const kNames[] = {"shift_jis", "shift-jis",   "sjis",
                                         "x-sjis",    "windows-31j", "cp932",
                                         "ms_kanji",  "csshiftjis",  "ms932"};
    const std::string lower = Lower(name);
    return std::any_of(std::begin(kNames), std::end(kNames),
                       [&](const char* known) { return lower == known; });
}

bool IsValidUtf8(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        std::size_t extra = 0;
        if (b < 0x80) {
            ++i;
            continue;
        }
        if (b >= 0xC2 && b <= 0xDF) {
            extra = 1;
        } else if (b >= 0xE0 && b <= 0xEF) {
            extra = 2;
        } else if (b >= 0xF0 && b <= 0xF4) {
            extra = 3;
        } else {
            return false;
        }
        if (i + extra >= bytes.size()) return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80) return false;
        }
        i += extra + 1;
    }
    return true;
}

// UTF-8 as CP932; a character CP932 has no form for becomes '?'.
std::string Utf8ToCp932(std::string_view utf8) {
    iconv_t cd = iconv_open("CP932", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(utf8);
    std::string out;
    std::string in(utf8);
    char* in_ptr = in.data();
    std::size_t in_left = in.size();
    char buffer[512];
    while (in_left > 0) {
        char* out_ptr = buffer;
        std::size_t out_left = sizeof buffer;
        const std::size_t r = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
        out.append(buffer, static_cast<std::size_t>(out_ptr - buffer));
        if (r != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
        // Skip the whole UTF-8 character that has no CP932 form.
        out.push_back('?');
        std::size_t skip = 1;
        while (skip < in_left && (static_cast<unsigned char>(in_ptr[skip]) & 0xC0) == 0x80) ++skip;
        in_ptr += skip;
        in_left -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    return out;
}

std::string Cp932ToUtf8(std::string_view cp932) {
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(cp932);
    std::string out;
    std::string in(cp932);
    char* in_ptr = in.data();
    std::size_t in_left = in.size();
    char buffer[512];
    while (in_left > 0) {
        char* out_ptr = buffer;
        std::size_t out_left = sizeof buffer;
        const std::size_t r = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
        out.append(buffer, static_cast<std::size_t>(out_ptr - buffer));
        if (r != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
        out.push_back('?');
        ++in_ptr;
        --in_left;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    return out;
}

std::string QualifiedName(const xmlNode* node) {
    std::string name = reinterpret_cast<const char*>(node->name);
    if (node->ns != nullptr && node->ns->prefix != nullptr) {
        name = std::string(reinterpret_cast<const char*>(node->ns->prefix)) + ":" + name;
    }
    return name;
}

// The text of the element's text and CDATA descendants. References to entities the document
// declares itself are not expanded: they add nothing, so a document cannot blow up in memory.
std::string ElementText(const xmlNode* element) {
    std::string text;
    const xmlNode* node = element->children;
    while (node != nullptr) {
        if ((node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) &&
            node->content != nullptr) {
            text += reinterpret_cast<const char*>(node->content);
        }
        if (node->type == XML_ELEMENT_NODE && node->children != nullptr) {
            node = node->children;
            continue;
        }
        while (node != nullptr && node->next == nullptr) {
            node = node->parent;
            if (node == element) node = nullptr;
        }
        if (node != nullptr) node = node->next;
    }
    return text;
}

}  // namespace

struct CXmlReader::Document {
    xmlDocPtr doc = nullptr;
    ~Document() {
        if (doc != nullptr) xmlFreeDoc(doc);
    }
};

CXmlReader::CXmlReader() = default;
CXmlReader::~CXmlReader() = default;

int CXmlReader::Load(const std::string& path) {
    path_ = path;
    document_.reset();
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error_message_ = "cannot open " + path;
        return 0;
    }
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0 || static_cast<std::uint64_t>(size) > kMaxDocumentBytes) {
        error_message_ = "document too large";
        return 0;
    }
    in.seekg(0);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    if (!in.read(bytes.data(), size)) {
        error_message_ = "cannot read " + path;
        return 0;
    }
    const int result = LoadBytes(bytes);
    path_ = path;
    return result;
}

int CXmlReader::LoadBytes(std::string_view bytes) {
    document_.reset();
    error_message_.clear();
    if (bytes.size() > kMaxDocumentBytes) {
        error_message_ = "document too large";
        return 0;
    }
    PrepareLibxml();
    // The main unit writes Shift-JIS whether or not it says so; glibc's own SHIFT_JIS lacks the
    // characters Windows adds, so every Shift-JIS name is read as CP932.
    const char* encoding = nullptr;
    const std::string declared = DeclaredEncoding(bytes);
    const bool bom = bytes.starts_with("\xEF\xBB\xBF");
    if (!declared.empty()) {
        if (IsShiftJisName(declared)) encoding = "CP932";
    } else if (!bom && !IsValidUtf8(bytes)) {
        encoding = "CP932";
    }
    // No network, no DTD loaded, no entity substituted (XML_PARSE_DTDLOAD and XML_PARSE_NOENT
    // stay off; the external entity loader refuses whatever is asked all the same).
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
    xmlDocPtr doc = nullptr;
    std::string message;
    {
        const ParserMessages messages;
        doc =
            xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr, encoding, options);
        message = messages.first();
    }
    xmlResetLastError();
    if (doc == nullptr) {
        error_message_ = message.empty() ? "parse" : message;
        return 0;
    }
    document_ = std::make_unique<Document>();
    document_->doc = doc;
    return 1;
}

std::vector<std::string> CXmlReader::SelectNode(std::string_view tag_name) const {
    std::vector<std::string> texts;
    if (document_ == nullptr || tag_name.empty()) return texts;
    const std::string wanted = Cp932ToUtf8(tag_name.substr(0, 1000));
    const xmlNode* node = xmlDocGetRootElement(document_->doc);
    const xmlNode* top = node;
    while (node != nullptr) {
        if (node->type == XML_ELEMENT_NODE && QualifiedName(node) == wanted) {
            texts.push_back(Utf8ToCp932(ElementText(node)));
        }
        if (node->type == XML_ELEMENT_NODE && node->children != nullptr) {
            node = node->children;
            continue;
        }
        while (node != nullptr && node != top && node->next == nullptr) node = node->parent;
        if (node == nullptr || node == top) break;
        node = node->next;
    }
    return texts;
}

std::string CXmlReader::FirstText(std::string_view tag_name) const {
    std::vector<std::string> texts = SelectNode(tag_name);
    return texts.empty() ? std::string() : std::move(texts.front());
}

}  // namespace qzs::net
