// SAX handlers: do-nothing callback classes from which a client derives a
// handler that overrides only what it needs, and Wy_SAXParse, which drives
// them from an XML parser. Texts are UTF-8 with byte lengths (not
// terminated where a length is given). Every callback answers 0 to go on;
// a non-zero answer stops the parse and becomes its result. The handlers
// are not reference-counted: AddRef and Release answer 0 and the objects
// belong to whoever created them.

#ifndef MIXTABLE_WY_SAX_H_
#define MIXTABLE_WY_SAX_H_

#include "mixtable/export.h"

// Where the parser is: 1-based line and column of the current event.
class MIXTABLE_API Wy_SAXLocator {
 public:
  virtual ~Wy_SAXLocator() = default;
  virtual int getLineNumber() const = 0;
  virtual int getColumnNumber() const = 0;
};

// The attributes of a start tag.
class MIXTABLE_API Wy_SAXAttributes {
 public:
  virtual ~Wy_SAXAttributes() = default;
  virtual int getLength() const = 0;
  // False when index is out of range.
  virtual bool getQName(int index, const char** name, int* len) const = 0;
  virtual bool getValue(int index, const char** value, int* len) const = 0;
  // False when no attribute has that qualified name.
  virtual bool getValueFromQName(const char* qName, int qNameLen,
                                 const char** value, int* len) const = 0;
};

class MIXTABLE_API Wy_SAXContentHandlerImpl {
 public:
  Wy_SAXContentHandlerImpl() = default;
  Wy_SAXContentHandlerImpl(const Wy_SAXContentHandlerImpl&) = default;
  Wy_SAXContentHandlerImpl& operator=(const Wy_SAXContentHandlerImpl&) =
      default;
  virtual ~Wy_SAXContentHandlerImpl() = default;

  virtual int AddRef() { return 0; }
  virtual int Release() { return 0; }

  // The locator stays valid until endDocument.
  virtual int putDocumentLocator(const Wy_SAXLocator* locator);
  virtual int startDocument();
  virtual int endDocument();
  virtual int startPrefixMapping(const char* prefix, int prefixLen,
                                 const char* uri, int uriLen);
  virtual int endPrefixMapping(const char* prefix, int prefixLen);
  virtual int startElement(const char* nsUri, int nsUriLen,
                           const char* localName, int localNameLen,
                           const char* qName, int qNameLen,
                           const Wy_SAXAttributes* attributes);
  virtual int endElement(const char* nsUri, int nsUriLen, const char* localName,
                         int localNameLen, const char* qName, int qNameLen);
  virtual int characters(const char* chars, int len);
  virtual int ignorableWhitespace(const char* chars, int len);
  virtual int processingInstruction(const char* target, int targetLen,
                                    const char* data, int dataLen);
  // An entity reference other than the predefined ones, left unexpanded.
  virtual int skippedEntity(const char* name, int nameLen);
};

class MIXTABLE_API Wy_SAXDTDHandlerImpl {
 public:
  Wy_SAXDTDHandlerImpl() = default;
  Wy_SAXDTDHandlerImpl(const Wy_SAXDTDHandlerImpl&) = default;
  Wy_SAXDTDHandlerImpl& operator=(const Wy_SAXDTDHandlerImpl&) = default;
  virtual ~Wy_SAXDTDHandlerImpl() = default;

  virtual int AddRef() { return 0; }
  virtual int Release() { return 0; }

  virtual int notationDecl(const char* name, int nameLen, const char* publicId,
                           int publicIdLen, const char* systemId,
                           int systemIdLen);
  virtual int unparsedEntityDecl(const char* name, int nameLen,
                                 const char* publicId, int publicIdLen,
                                 const char* systemId, int systemIdLen,
                                 const char* notationName, int notationLen);
};

class MIXTABLE_API Wy_SAXErrorHandlerImpl {
 public:
  Wy_SAXErrorHandlerImpl() = default;
  Wy_SAXErrorHandlerImpl(const Wy_SAXErrorHandlerImpl&) = default;
  Wy_SAXErrorHandlerImpl& operator=(const Wy_SAXErrorHandlerImpl&) = default;
  virtual ~Wy_SAXErrorHandlerImpl() = default;

  virtual int AddRef() { return 0; }
  virtual int Release() { return 0; }

  // message is terminated; code is the parser's error number.
  virtual int error(const Wy_SAXLocator* locator, const char* message,
                    int code);
  virtual int fatalError(const Wy_SAXLocator* locator, const char* message,
                         int code);
  virtual int ignorableWarning(const Wy_SAXLocator* locator,
                               const char* message, int code);
};

// Parse error codes of Wy_SAXParse besides the parser's own (positive)
// numbers.
constexpr int kWySaxCannotRead = -1;  // the file cannot be read

// Parses the document at path (mapped by the platform layer) and calls the
// handlers (each may be null). Reads no network and no external entity or
// document type and expands only the predefined entities (others go to
// skippedEntity). Answers 0, the first non-zero callback answer (which
// stopped the parse), kWySaxCannotRead, or the parser's number of the first
// error that made the document not well-formed.
MIXTABLE_API int Wy_SAXParse(const char* path,
                             Wy_SAXContentHandlerImpl* content,
                             Wy_SAXDTDHandlerImpl* dtd,
                             Wy_SAXErrorHandlerImpl* error);
// The same for a document in memory.
MIXTABLE_API int Wy_SAXParseMemory(const char* data, int size,
                                   Wy_SAXContentHandlerImpl* content,
                                   Wy_SAXDTDHandlerImpl* dtd,
                                   Wy_SAXErrorHandlerImpl* error);

#endif  // MIXTABLE_WY_SAX_H_
