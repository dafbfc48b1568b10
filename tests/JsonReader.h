// A minimal JSON reader for the tests: strict syntax (RFC 8259), a small
// tree of values; enough to read back the GeoJSON that vxnav writes.
#ifndef VX_TESTS_JSONREADER_H
#define VX_TESTS_JSONREADER_H

#include <cctype>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

struct Json;
using JsonObject = std::map<std::string, std::shared_ptr<Json>>;
using JsonArray = std::vector<std::shared_ptr<Json>>;
struct Json {
  std::variant<std::nullptr_t, bool, double, std::string, JsonArray, JsonObject> v;
  const JsonArray& Arr() const { return std::get<JsonArray>(v); }
  const std::string& Str() const { return std::get<std::string>(v); }
  double Num() const { return std::get<double>(v); }
  const Json& operator[](const std::string& k) const { return *std::get<JsonObject>(v).at(k); }
};

class JsonParser {
 public:
  explicit JsonParser(const std::string& s) : m_s(s) {}
  // Throws std::runtime_error on any syntax error or trailing text.
  Json ParseDocument() {
    Json j = Value();
    Need(!More(), "trailing text");
    return j;
  }

 private:
  void Need(bool b, const char* why) {
    if (!b) {
      throw std::runtime_error(std::string(why) + " at " + std::to_string(m_i));
    }
  }
  // Skips white space; true when a character is left.
  bool More() {
    while (m_i < m_s.size() &&
           (m_s[m_i] == ' ' || m_s[m_i] == '\t' || m_s[m_i] == '\r' || m_s[m_i] == '\n')) {
      ++m_i;
    }
    return m_i < m_s.size();
  }
  bool Take(char c) {
    const bool b = More() && m_s[m_i] == c;
    m_i += b;
    return b;
  }
  std::size_t Digits() {
    const std::size_t b = m_i;
    while (m_i < m_s.size() && std::isdigit(static_cast<unsigned char>(m_s[m_i]))) {
      ++m_i;
    }
    return m_i - b;
  }
  std::string String() {
    Need(Take('"'), "expected a string");
    std::string out;
    for (;;) {
      Need(m_i < m_s.size(), "unterminated string");
      const char c = m_s[m_i++];
      Need(static_cast<unsigned char>(c) >= 0x20, "control character in string");
      if (c == '"') {
        return out;
      }
      if (c != '\\') {
        out += c;
        continue;
      }
      Need(m_i < m_s.size(), "bad escape");
      const char e = m_s[m_i++];
      const std::string from = "\"\\/bfnrt", to = "\"\\/\b\f\n\r\t";
      if (e == 'u') {  // only the ASCII escapes the writer uses
        Need(m_i + 4 <= m_s.size(), "bad \\u");
        const unsigned long code = std::stoul(m_s.substr(m_i, 4), nullptr, 16);
        Need(code < 0x80, "non-ASCII \\u");
        out += static_cast<char>(code);
        m_i += 4;
      } else {
        Need(from.find(e) != std::string::npos, "bad escape");
        out += to[from.find(e)];
      }
    }
  }
  Json Value() {
    Need(More(), "unexpected end");
    if (Take('{')) {
      JsonObject o;
      if (!Take('}')) {
        do {
          const std::string k = String();
          Need(Take(':'), "expected :");
          o[k] = std::make_shared<Json>(Value());
        } while (Take(','));
        Need(Take('}'), "expected }");
      }
      return {o};
    }
    if (Take('[')) {
      JsonArray a;
      if (!Take(']')) {
        do {
          a.push_back(std::make_shared<Json>(Value()));
        } while (Take(','));
        Need(Take(']'), "expected ]");
      }
      return {a};
    }
    if (m_s[m_i] == '"') {
      return {String()};
    }
    for (const auto& [word, value] :
         {std::pair<std::string, Json>{"true", {true}}, {"false", {false}}, {"null", {nullptr}}}) {
      if (m_s.compare(m_i, word.size(), word) == 0) {
        m_i += word.size();
        return value;
      }
    }
    const std::size_t start = m_i;
    m_i += m_s[m_i] == '-';
    const std::size_t nInt = Digits();
    Need(nInt > 0 && (nInt == 1 || m_s[m_i - nInt] != '0'), "bad number");
    if (m_i < m_s.size() && m_s[m_i] == '.') {
      ++m_i;
      Need(Digits() > 0, "bad fraction");
    }
    if (m_i < m_s.size() && (m_s[m_i] == 'e' || m_s[m_i] == 'E')) {
      m_i += 1 + (m_i + 1 < m_s.size() && (m_s[m_i + 1] == '+' || m_s[m_i + 1] == '-'));
      Need(Digits() > 0, "bad exponent");
    }
    return {std::stod(m_s.substr(start, m_i - start))};
  }

  const std::string& m_s;
  std::size_t m_i = 0;
};

#endif
