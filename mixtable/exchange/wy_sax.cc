// Wy_SAXParse over libxml2's SAX2 parser (the do-nothing handlers are in
// wy_sax_handlers.cc).

#include "mixtable/wy_sax.h"

#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/env.h"

namespace {

const char* C(const xmlChar* s) { return reinterpret_cast<const char*>(s); }
int Len(const xmlChar* s) {
  return s ? static_cast<int>(strlen(reinterpret_cast<const char*>(s))) : 0;
}

class LiveLocator : public Wy_SAXLocator {
 public:
  explicit LiveLocator(xmlParserCtxtPtr ctxt) : ctxt_(ctxt) {}
  int getLineNumber() const override { return xmlSAX2GetLineNumber(ctxt_); }
  int getColumnNumber() const override { return xmlSAX2GetColumnNumber(ctxt_); }

 private:
  xmlParserCtxtPtr ctxt_;
};

class FixedLocator : public Wy_SAXLocator {
 public:
  FixedLocator(int line, int column) : line_(line), column_(column) {}
  int getLineNumber() const override { return line_; }
  int getColumnNumber() const override { return column_; }

 private:
  int line_, column_;
};

class Attributes : public Wy_SAXAttributes {
 public:
  struct Item {
    std::string qname;
    const char* value;
    int len;
  };
  std::vector<Item> items;

  int getLength() const override { return static_cast<int>(items.size()); }
  bool getQName(int i, const char** name, int* len) const override {
    if (i < 0 || i >= getLength()) return false;
    *name = items[i].qname.c_str();
    *len = static_cast<int>(items[i].qname.size());
    return true;
  }
  bool getValue(int i, const char** value, int* len) const override {
    if (i < 0 || i >= getLength()) return false;
    *value = items[i].value;
    *len = items[i].len;
    return true;
  }
  bool getValueFromQName(const char* qName, int qNameLen, const char** value,
                         int* len) const override {
    for (const Item& it : items) {
      if (static_cast<int>(it.qname.size()) == qNameLen &&
          memcmp(it.qname.data(), qName, qNameLen) == 0) {
        *value = it.value;
        *len = it.len;
        return true;
      }
    }
    return false;
  }
};

struct State {
  xmlParserCtxtPtr ctxt = nullptr;
  Wy_SAXContentHandlerImpl* content = nullptr;
  Wy_SAXDTDHandlerImpl* dtd = nullptr;
  Wy_SAXErrorHandlerImpl* error = nullptr;
  std::unique_ptr<LiveLocator> locator;
  int stopped_with = 0;  // first non-zero answer of a handler
  int first_error = 0;   // first error or fatal error of the parser
};

// The state of the main parse; events of nested parses of entity texts
// are not handed on.
State* Get(void* ctx) {
  auto* ctxt = static_cast<xmlParserCtxtPtr>(ctx);
  auto* st = ctxt ? static_cast<State*>(ctxt->_private) : nullptr;
  if (st == nullptr || st->ctxt != ctxt || st->stopped_with != 0)
    return nullptr;
  return st;
}

void Answer(State* st, int r) {
  if (r != 0 && st->stopped_with == 0) {
    st->stopped_with = r;
    xmlStopParser(st->ctxt);
  }
}

std::string QName(const xmlChar* prefix, const xmlChar* local) {
  std::string q;
  if (prefix) q = std::string(C(prefix)) + ":";
  if (local) q += C(local);
  return q;
}

void OnSetLocator(void* ctx, xmlSAXLocatorPtr) {
  State* st = Get(ctx);
  if (st && st->content)
    Answer(st, st->content->putDocumentLocator(st->locator.get()));
}

void OnStartDocument(void* ctx) {
  xmlSAX2StartDocument(ctx);  // keeps the declared entities for lookups
  State* st = Get(ctx);
  if (st && st->content) Answer(st, st->content->startDocument());
}

void OnEndDocument(void* ctx) {
  State* st = Get(ctx);
  if (st && st->content) Answer(st, st->content->endDocument());
}

void OnStartElement(void* ctx, const xmlChar* local, const xmlChar* prefix,
                    const xmlChar* uri, int nb_ns, const xmlChar** ns,
                    int nb_attr, int, const xmlChar** attrs) {
  State* st = Get(ctx);
  if (!st || !st->content) return;
  for (int i = 0; i < nb_ns && st->stopped_with == 0; i++) {
    const xmlChar* p = ns[2 * i];
    const xmlChar* u = ns[2 * i + 1];
    Answer(st, st->content->startPrefixMapping(p ? C(p) : "", Len(p),
                                               u ? C(u) : "", Len(u)));
  }
  if (st->stopped_with) return;
  Attributes a;
  for (int i = 0; i < nb_attr; i++) {
    const xmlChar** at = attrs + 5 * i;
    a.items.push_back(
        {QName(at[1], at[0]), C(at[3]), static_cast<int>(at[4] - at[3])});
  }
  std::string q = QName(prefix, local);
  Answer(st, st->content->startElement(uri ? C(uri) : "", Len(uri), C(local),
                                       Len(local), q.c_str(),
                                       static_cast<int>(q.size()), &a));
}

void OnEndElement(void* ctx, const xmlChar* local, const xmlChar* prefix,
                  const xmlChar* uri) {
  State* st = Get(ctx);
  if (!st || !st->content) return;
  std::string q = QName(prefix, local);
  Answer(st, st->content->endElement(uri ? C(uri) : "", Len(uri), C(local),
                                     Len(local), q.c_str(),
                                     static_cast<int>(q.size())));
}

void OnCharacters(void* ctx, const xmlChar* ch, int len) {
  State* st = Get(ctx);
  if (st && st->content) Answer(st, st->content->characters(C(ch), len));
}

void OnWhitespace(void* ctx, const xmlChar* ch, int len) {
  State* st = Get(ctx);
  if (st && st->content)
    Answer(st, st->content->ignorableWhitespace(C(ch), len));
}

void OnPI(void* ctx, const xmlChar* target, const xmlChar* data) {
  State* st = Get(ctx);
  if (st && st->content)
    Answer(st, st->content->processingInstruction(
                   C(target), Len(target), data ? C(data) : "", Len(data)));
}

void OnReference(void* ctx, const xmlChar* name) {
  State* st = Get(ctx);
  if (st && st->content)
    Answer(st, st->content->skippedEntity(C(name), Len(name)));
}

void OnNotation(void* ctx, const xmlChar* name, const xmlChar* pub,
                const xmlChar* sys) {
  State* st = Get(ctx);
  if (st && st->dtd)
    Answer(st, st->dtd->notationDecl(C(name), Len(name), pub ? C(pub) : "",
                                     Len(pub), sys ? C(sys) : "", Len(sys)));
}

void OnUnparsed(void* ctx, const xmlChar* name, const xmlChar* pub,
                const xmlChar* sys, const xmlChar* notation) {
  State* st = Get(ctx);
  if (st && st->dtd)
    Answer(st, st->dtd->unparsedEntityDecl(
                   C(name), Len(name), pub ? C(pub) : "", Len(pub),
                   sys ? C(sys) : "", Len(sys), notation ? C(notation) : "",
                   Len(notation)));
}

// Only the predefined entities and those declared in the document itself;
// nothing is ever fetched.
xmlEntityPtr OnGetEntity(void* ctx, const xmlChar* name) {
  xmlEntityPtr e = xmlGetPredefinedEntity(name);
  if (e) return e;
  return xmlSAX2GetEntity(ctx, name);
}

xmlParserInputPtr OnResolve(void*, const xmlChar*, const xmlChar*) {
  return nullptr;
}

#if LIBXML_VERSION >= 21200
void OnError(void* ctx, const xmlError* err) {
#else
void OnError(void* ctx, xmlErrorPtr err) {
#endif
  auto* ctxt = static_cast<xmlParserCtxtPtr>(ctx);
  auto* st = ctxt ? static_cast<State*>(ctxt->_private) : nullptr;
  if (st == nullptr || err == nullptr) return;
  if (err->level >= XML_ERR_ERROR && st->first_error == 0)
    st->first_error = err->code;
  if (st->stopped_with != 0 || st->error == nullptr) return;
  FixedLocator where(err->line, err->int2);
  const char* msg = err->message ? err->message : "";
  int r = 0;
  if (err->level == XML_ERR_WARNING)
    r = st->error->ignorableWarning(&where, msg, err->code);
  else if (err->level == XML_ERR_ERROR)
    r = st->error->error(&where, msg, err->code);
  else
    r = st->error->fatalError(&where, msg, err->code);
  Answer(st, r);
}

}  // namespace

int Wy_SAXParseMemory(const char* data, int size,
                      Wy_SAXContentHandlerImpl* content,
                      Wy_SAXDTDHandlerImpl* dtd,
                      Wy_SAXErrorHandlerImpl* error) {
  if (size < 0 || (data == nullptr && size > 0)) return kWySaxCannotRead;
  xmlSAXHandler sax;
  memset(&sax, 0, sizeof(sax));
  xmlSAXVersion(&sax, 2);
  sax.setDocumentLocator = OnSetLocator;
  sax.startDocument = OnStartDocument;
  sax.endDocument = OnEndDocument;
  sax.startElement = nullptr;
  sax.endElement = nullptr;
  sax.startElementNs = OnStartElement;
  sax.endElementNs = OnEndElement;
  sax.characters = OnCharacters;
  sax.cdataBlock = OnCharacters;
  sax.ignorableWhitespace = OnWhitespace;
  sax.processingInstruction = OnPI;
  sax.reference = OnReference;
  sax.notationDecl = OnNotation;
  sax.unparsedEntityDecl = OnUnparsed;
  sax.getEntity = OnGetEntity;
  sax.resolveEntity = OnResolve;
  sax.externalSubset = nullptr;
  sax.comment = nullptr;
  sax.warning = nullptr;
  sax.error = nullptr;
  sax.fatalError = nullptr;
  sax.serror = OnError;

  xmlParserCtxtPtr ctxt =
      xmlCreatePushParserCtxt(&sax, nullptr, nullptr, 0, nullptr);
  if (ctxt == nullptr) return kWySaxCannotRead;
  // No network, no external entities or document types, entities left as
  // references, the parser's size and depth limits kept.
  xmlCtxtUseOptions(ctxt, XML_PARSE_NONET);
  State st;
  st.ctxt = ctxt;
  st.content = content;
  st.dtd = dtd;
  st.error = error;
  st.locator = std::make_unique<LiveLocator>(ctxt);
  ctxt->_private = &st;
  constexpr int kPiece = 1 << 20;
  int at = 0;
  while (size - at > kPiece && st.stopped_with == 0) {
    xmlParseChunk(ctxt, data + at, kPiece, 0);
    at += kPiece;
    if (ctxt->disableSAX && !ctxt->wellFormed) break;
  }
  if (st.stopped_with == 0) xmlParseChunk(ctxt, data + at, size - at, 1);
  int result = st.stopped_with;
  if (result == 0 && st.first_error != 0) result = st.first_error;
  if (result == 0 && !ctxt->wellFormed)
    result = ctxt->errNo != 0 ? ctxt->errNo : XML_ERR_INTERNAL_ERROR;
  if (ctxt->myDoc) {
    xmlFreeDoc(ctxt->myDoc);
    ctxt->myDoc = nullptr;
  }
  ctxt->_private = nullptr;
  xmlFreeParserCtxt(ctxt);
  return result;
}

int Wy_SAXParse(const char* path, Wy_SAXContentHandlerImpl* content,
                Wy_SAXDTDHandlerImpl* dtd, Wy_SAXErrorHandlerImpl* error) {
  if (path == nullptr) return kWySaxCannotRead;
  platform::Env* env = platform::Env::Current();
  std::unique_ptr<platform::File> f;
  if (!env->OpenFile(path, platform::OpenMode::kReadOnly, &f).ok())
    return kWySaxCannotRead;
  uint64_t size = 0;
  if (!f->Size(&size).ok() || size > 0x7FFFFFFF) return kWySaxCannotRead;
  std::string data(static_cast<size_t>(size), '\0');
  size_t got = 0;
  if (!f->ReadAt(0, data.data(), data.size(), &got).ok() || got != size)
    return kWySaxCannotRead;
  return Wy_SAXParseMemory(data.data(), static_cast<int>(size), content, dtd,
                           error);
}
