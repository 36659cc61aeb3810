// A tree of HTML elements that prints itself.
//
// Five kinds of node: HTML_Elements (a sequence), HTML_Tag (a tag around one content element),
// HTML_Attributed_Tag (the same with attributes), HTML_Attribute and HTML_Text. Nodes are held
// through SharedHandle, so one node may stand in several places of a tree; it then prints once
// for every place, at that place's depth, and is destroyed when its last holder goes.
//
// Nothing is escaped: texts, names and attribute values are written exactly as stored, so
// callers encode text beforehand (kel/html_read/entities.h).
//
// print() writes indented markup: every text and every tag starts on a new line ('\n' first)
// indented by one blank per nesting level (indentLevel), and each closing tag lines up with its
// opening tag. Every tag gets a closing tag; nothing follows the last closing tag.
// toString() renders the same tree as one string without line breaks or indentation.
//
// An empty handle given as content, item or attribute stands for nothing and prints nothing.
#ifndef CORVEX_KEL_HTML_WRITE_HTML_ELEMENT_H
#define CORVEX_KEL_HTML_WRITE_HTML_ELEMENT_H

#include <list>
#include <ostream>
#include <string>

#include "kel/html_write/shared_handle.h"

namespace kel::html_write {

// Nesting depth used by print(); 0 between prints. A tag raises it while its content prints
// and restores it afterwards, also when the stream throws.
extern unsigned indentLevel;

class HTML_Element {
 public:
  HTML_Element() = default;
  HTML_Element(const HTML_Element&) = delete;
  HTML_Element& operator=(const HTML_Element&) = delete;
  virtual ~HTML_Element() = default;

  virtual void print(std::ostream& os) const = 0;
  virtual std::string toString() const = 0;
};

using ElementHandle = SharedHandle<HTML_Element>;

class HTML_Attribute : public HTML_Element {
 public:
  HTML_Attribute(const std::string& name, const std::string& value);

  // Both write: a blank, name, '=', '"', value, '"'.
  void print(std::ostream& os) const override;
  std::string toString() const override;

 private:
  const std::string name_;
  const std::string value_;
};

using AttributeHandle = SharedHandle<HTML_Attribute>;

class HTML_Elements : public HTML_Element {
 public:
  explicit HTML_Elements(const std::list<ElementHandle>& items = {});

  // Appends one item after the others.
  void add(const ElementHandle& item);

  void print(std::ostream& os) const override;
  std::string toString() const override;

 private:
  std::list<ElementHandle> items_;
};

class HTML_Text : public HTML_Element {
 public:
  explicit HTML_Text(const std::string& text);

  void print(std::ostream& os) const override;
  std::string toString() const override;

 private:
  const std::string text_;
};

class HTML_Tag : public HTML_Element {
 public:
  HTML_Tag(const std::string& name, const ElementHandle& content);

  void print(std::ostream& os) const override;
  std::string toString() const override;

 protected:
  // Writes the opening tag's attributes; none here.
  virtual void printAttributes(std::ostream& os) const;
  virtual void appendAttributes(std::string& out) const;

 private:
  const std::string name_;
  const ElementHandle content_;
};

class HTML_Attributed_Tag : public HTML_Tag {
 public:
  HTML_Attributed_Tag(const std::string& name, const ElementHandle& content,
                      const std::list<AttributeHandle>& attributes = {});

  // Appends one attribute after the others.
  void add(const AttributeHandle& attribute);

 protected:
  void printAttributes(std::ostream& os) const override;
  void appendAttributes(std::string& out) const override;

 private:
  std::list<AttributeHandle> attributes_;
};

}  // namespace kel::html_write

#endif
