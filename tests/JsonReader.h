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
  const JsonObject& Obj() const { return std::get<JsonObject>(v); }
  const JsonArray& Arr() const { return std::get<JsonArray>(v); }
  const std::string& Str() const { return std::get<std::string>(v); }
  double Num() const { return std::get<double>(v); }
  const Json& operator[](const std::string& k) const { return *Obj().at(k); }
};

class JsonParser {
 public:
  explicit JsonParser(const std::string& s) : m_s(s) {}
  // Throws std::runtime_error on any syntax error or trailing text.
  Json ParseDocument() {
    Json j = Value();
    Ws();
    if (m_i != m_s.size()) {
      Fail("trailing text");
    }
    return j;
  }

 private:
  [[noreturn]] void Fail(const std::string& why) {
    throw std::runtime_error(why + " at " + std::to_string(m_i));
  }
  void Ws() {
    while (m_i < m_s.size() && std::string(" \t\r\n").find(m_s[m_i]) != std::string::npos) {
      ++m_i;
    }
  }
  void Expect(char c) {
    Ws();
    if (m_i >= m_s.size() || m_s[m_i] != c) {
      Fail(std::string("expected ") + c);
    }
    ++m_i;
  }
  bool Peek(char c) {
    Ws();
    return m_i < m_s.size() && m_s[m_i] == c;
  }
  std::string String() {
    Expect('"');
    std::string out;
    while (true) {
      if (m_i >= m_s.size()) {
        Fail("unterminated string");
      }
      const char c = m_s[m_i++];
      if (c == '"') {
        return out;
      }
      if (static_cast<unsigned char>(c) < 0x20) {
        Fail("control character in string");
      }
      if (c != '\\') {
        out += c;
        continue;
      }
      if (m_i >= m_s.size()) {
        Fail("bad escape");
      }
      const char e = m_s[m_i++];
      const std::string simple = "\"\\/bfnrt";
      if (e == 'u') {
        if (m_i + 4 > m_s.size()) {
          Fail("bad \\u");
        }
        const unsigned code = std::stoul(m_s.substr(m_i, 4), nullptr, 16);
        m_i += 4;
        if (code >= 0x80) {
          Fail("test parser handles only ASCII \\u escapes");
        }
        out += static_cast<char>(code);
      } else if (simple.find(e) != std::string::npos) {
        out += e == 'n'   ? '\n'
               : e == 't' ? '\t'
               : e == 'r' ? '\r'
               : e == 'b' ? '\b'
               : e == 'f' ? '\f'
                          : e;
      } else {
        Fail("bad escape");
      }
    }
  }
  Json Value() {
    Ws();
    if (m_i >= m_s.size()) {
      Fail("unexpected end");
    }
    const char c = m_s[m_i];
    if (c == '{') {
      ++m_i;
      JsonObject o;
      if (Peek('}')) {
        ++m_i;
        return {o};
      }
      do {
        const std::string k = String();
        Expect(':');
        o[k] = std::make_shared<Json>(Value());
      } while (Peek(',') && ++m_i);
      Expect('}');
      return {o};
    }
    if (c == '[') {
      ++m_i;
      JsonArray a;
      if (Peek(']')) {
        ++m_i;
        return {a};
      }
      do {
        a.push_back(std::make_shared<Json>(Value()));
      } while (Peek(',') && ++m_i);
      Expect(']');
      return {a};
    }
    if (c == '"') {
      return {String()};
    }
    for (const auto& [word, value] :
         {std::pair<std::string, Json>{"true", {true}}, {"false", {false}}, {"null", {nullptr}}}) {
      if (m_s.compare(m_i, word.size(), word) == 0) {
        m_i += word.size();
        return value;
      }
    }
    // Numbers: JSON grammar, checked strictly.
    const std::size_t start = m_i;
    if (m_s[m_i] == '-') {
      ++m_i;
    }
    auto digits = [&] {
      const std::size_t b = m_i;
      while (m_i < m_s.size() && std::isdigit(static_cast<unsigned char>(m_s[m_i]))) {
        ++m_i;
      }
      return m_i - b;
    };
    const std::size_t nInt = digits();
    if (nInt == 0 || (nInt > 1 && m_s[m_i - nInt] == '0')) {
      Fail("bad number");
    }
    if (m_i < m_s.size() && m_s[m_i] == '.') {
      ++m_i;
      if (digits() == 0) {
        Fail("bad fraction");
      }
    }
    if (m_i < m_s.size() && (m_s[m_i] == 'e' || m_s[m_i] == 'E')) {
      ++m_i;
      if (m_i < m_s.size() && (m_s[m_i] == '+' || m_s[m_i] == '-')) {
        ++m_i;
      }
      if (digits() == 0) {
        Fail("bad exponent");
      }
    }
    return {std::stod(m_s.substr(start, m_i - start))};
  }

  const std::string& m_s;
  std::size_t m_i = 0;
};

#endif
