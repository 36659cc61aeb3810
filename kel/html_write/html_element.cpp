#include "kel/html_write/html_element.h"

namespace kel::html_write {

unsigned indentLevel = 0;

namespace {

void newLine(std::ostream& os) {
  os << '\n';
  for (unsigned i = 0; i < indentLevel; ++i) os << ' ';
}

// Raises the indentation for one tag's content and restores it however the content ends.
class DeeperLevel {
 public:
  DeeperLevel() { ++indentLevel; }
  ~DeeperLevel() { --indentLevel; }
  DeeperLevel(const DeeperLevel&) = delete;
  DeeperLevel& operator=(const DeeperLevel&) = delete;
};

}  // namespace

HTML_Attribute::HTML_Attribute(const std::string& name, const std::string& value)
    : name_(name), value_(value) {}

void HTML_Attribute::print(std::ostream& os) const { os << ' ' << name_ << "=\"" << value_ << '"'; }

std::string HTML_Attribute::toString() const {
  std::string out;
  out.reserve(name_.size() + value_.size() + 4);
  out += ' ';
  out += name_;
  out += "=\"";
  out += value_;
  out += '"';
  return out;
}

HTML_Elements::HTML_Elements(const std::list<ElementHandle>& items) : items_(items) {}

void HTML_Elements::add(const ElementHandle& item) { items_.push_back(item); }

void HTML_Elements::print(std::ostream& os) const {
  for (const ElementHandle& item : items_)
    if (item) item->print(os);
}

std::string HTML_Elements::toString() const {
  std::string out;
  for (const ElementHandle& item : items_)
    if (item) out += item->toString();
  return out;
}

HTML_Text::HTML_Text(const std::string& text) : text_(text) {}

void HTML_Text::print(std::ostream& os) const {
  newLine(os);
  os << text_;
}

std::string HTML_Text::toString() const { return text_; }

HTML_Tag::HTML_Tag(const std::string& name, const ElementHandle& content)
    : name_(name), content_(content) {}

void HTML_Tag::print(std::ostream& os) const {
  newLine(os);
  os << '<' << name_;
  printAttributes(os);
  os << '>';
  if (content_) {
    const DeeperLevel deeper;
    content_->print(os);
  }
  newLine(os);
  os << "</" << name_ << '>';
}

std::string HTML_Tag::toString() const {
  std::string out = "<" + name_;
  appendAttributes(out);
  out += '>';
  if (content_) out += content_->toString();
  out += "</";
  out += name_;
  out += '>';
  return out;
}

void HTML_Tag::printAttributes(std::ostream&) const {}

void HTML_Tag::appendAttributes(std::string&) const {}

HTML_Attributed_Tag::HTML_Attributed_Tag(const std::string& name, const ElementHandle& content,
                                         const std::list<AttributeHandle>& attributes)
    : HTML_Tag(name, content), attributes_(attributes) {}

void HTML_Attributed_Tag::add(const AttributeHandle& attribute) {
  attributes_.push_back(attribute);
}

void HTML_Attributed_Tag::printAttributes(std::ostream& os) const {
  for (const AttributeHandle& attribute : attributes_)
    if (attribute) attribute->print(os);
}

void HTML_Attributed_Tag::appendAttributes(std::string& out) const {
  for (const AttributeHandle& attribute : attributes_)
    if (attribute) out += attribute->toString();
}

}  // namespace kel::html_write
