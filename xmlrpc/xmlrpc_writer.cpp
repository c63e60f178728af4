// Writing: fixed fragments straight into the stream, nothing is built in between.
#include <cstdio>
#include <locale>
#include <ostream>
#include <sstream>

#include "xml/xml_entity_table.h"
#include "xmlrpc/xmlrpc_base64.h"
#include "xmlrpc/xmlrpc_text.h"
#include "xmlrpc/xmlrpc_value.h"

namespace {

// Room for the 29 characters a written date-time may have, and its NUL.
constexpr std::size_t kDateTimeBufferSize = 30;

// Numbers as a default-constructed stream writes them, in the classic locale so a
// process-wide locale (Qt sets one) cannot turn the decimal point into a comma.
template <typename Number>
std::string formatNumber(Number n) {
  std::ostringstream s;
  s.imbue(std::locale::classic());
  s << n;
  return s.str();
}

}  // namespace

// The five predefined references, as the XML library writes them.
std::string escapeText(const std::string& text) { return DefaultEntityTable.Encode(text); }

void XmlRpcValue::writeXml(std::ostream& out) const {
  switch (m_nType) {
    case XmlRpcType::Invalid: throw XmlRpcException("Undefined XmlRpc value");
    case XmlRpcType::Boolean:
      out << "<value><boolean>" << (m_payload.boolean ? "1" : "0") << "</boolean></value>";
      break;
    case XmlRpcType::Int: out << "<value><i4>" << formatNumber(m_payload.integer) << "</i4></value>"; break;
    case XmlRpcType::Double: out << "<value><double>" << formatNumber(m_payload.real) << "</double></value>"; break;
    case XmlRpcType::String:
      if (m_payload.text->empty())
        out << "<value><string/></value>";
      else
        out << "<value>" << escapeText(*m_payload.text) << "</value>";
      break;
    case XmlRpcType::DateTime: {
      const DateTimeRecord& t = *m_payload.time;
      char buffer[kDateTimeBufferSize];
      // Out-of-range fields could run longer than 29 characters: the text is cut there.
      // month + 1 wraps rather than overflowing for a month field of INT32_MAX.
      const int month = static_cast<int>(static_cast<unsigned>(t.month) + 1u);
      std::snprintf(buffer, sizeof buffer, "%4d%02d%02dT%02d:%02d:%02d", int(t.year), month, int(t.day), int(t.hour),
                    int(t.minute), int(t.second));
      out << "<value><dateTime.iso8601>" << buffer << "</dateTime.iso8601></value>";
      break;
    }
    case XmlRpcType::Base64: out << "<value><base64>" << encodeBase64(*m_payload.binary) << "</base64></value>"; break;
    case XmlRpcType::Array:
      out << "<value><array><data>";
      for (std::int32_t i = 0; i < m_payload.array->count; ++i) m_payload.array->elements[i].writeXml(out);
      out << "</data></array></value>";
      break;
    case XmlRpcType::Struct:
      out << "<value><struct>";
      for (const auto& [name, value] : *m_payload.members) {
        out << "<member><name>" << escapeText(name) << "</name>";
        value.writeXml(out);
        out << "</member>";
      }
      out << "</struct></value>\n";
      break;
    case XmlRpcType::Nil: out << "<value><nil/></value>"; break;
  }
}

void writeCall(const std::string& methodName, const XmlRpcValue& params, std::ostream& out) {
  out << "<?xml version=\"1.0\"?>\r\n<methodCall><methodName>" << methodName << "</methodName>\r\n<params>";
  if (params.type() == XmlRpcType::Array) {
    for (int i = 0; i < params.size(); ++i) {
      out << "<param>";
      params.element(i).writeXml(out);
      out << "</param>";
    }
  } else if (params.type() != XmlRpcType::Invalid) {
    out << "<param>";
    params.writeXml(out);
    out << "</param>\n";
  }
  out << "</params></methodCall>\r\n";
}
