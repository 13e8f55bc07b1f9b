// EML import through GMime: headers, people, date, bodies and attachments of an Internet
// message ([RFC 5322], [RFC 2045]-[RFC 2047]) into a mail or task item.
#include <gmime/gmime.h>

#include <QFile>
#include <QList>

#include "common/pst/PstProps.h"
#include "common/pst/PstText.h"

using namespace pstprops;

namespace {

template <class T>
struct GPtr {
    T* p = nullptr;
    explicit GPtr(T* q) : p(q) {}
    ~GPtr() {
        if (p) g_object_unref(p);
    }
    GPtr(const GPtr&) = delete;
    GPtr& operator=(const GPtr&) = delete;
};

void InitGMime() {
    static const bool done = [] {
        g_mime_init();
        return true;
    }();
    (void)done;
}

// A header's text with its encoded words decoded; empty when absent.
QString HeaderText(GMimeObject* obj, const char* name) {
    GMimeHeaderList* list = g_mime_object_get_header_list(obj);
    GMimeHeader* h = list ? g_mime_header_list_get_header(list, name) : nullptr;
    const char* raw = h ? g_mime_header_get_raw_value(h) : nullptr;
    if (!raw) return {};
    char* unfolded = g_mime_utils_header_unfold(raw);
    char* decoded = g_mime_utils_header_decode_text(nullptr, unfolded);
    QString out = QString::fromUtf8(decoded ? decoded : unfolded).trimmed();
    g_free(decoded);
    g_free(unfolded);
    return out;
}

QByteArray PartBytes(GMimePart* part) {
    GMimeDataWrapper* content = g_mime_part_get_content(part);
    if (!content) return {};
    GPtr<GMimeStream> mem(g_mime_stream_mem_new());
    if (g_mime_data_wrapper_write_to_stream(content, mem.p) < 0) return {};
    GByteArray* a = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(mem.p));
    return a ? QByteArray(reinterpret_cast<const char*>(a->data), qsizetype(a->len)) : QByteArray();
}

QString PartText(GMimePart* part, const QByteArray& bytes) {
    const char* cs = g_mime_object_get_content_type_parameter(GMIME_OBJECT(part), "charset");
    return PstDecodeCharset(bytes, cs ? QByteArray(cs) : QByteArray());
}

struct Walk {
    QString plain, html;
    bool havePlain = false, haveHtml = false;
    std::vector<pst::Attachment> attachments;
    int depth = 0;
};

void AddAttachment(Walk& w, GMimeObject* obj, const QByteArray& bytes, bool inlineImage) {
    pst::Attachment a;
    a.data.assign(bytes.begin(), bytes.end());
    QString name;
    if (GMIME_IS_PART(obj)) name = QString::fromUtf8(g_mime_part_get_filename(GMIME_PART(obj)));
    GMimeContentType* ct = g_mime_object_get_content_type(obj);
    char* mime = ct ? g_mime_content_type_get_mime_type(ct) : nullptr;
    const QString mimeType = QString::fromUtf8(mime ? mime : "application/octet-stream");
    g_free(mime);
    if (name.isEmpty())
        name = GMIME_IS_MESSAGE_PART(obj) ? QStringLiteral("message.eml") : QStringLiteral("attachment");
    a.props[pst::PidTagAttachMethod] = pst::MakeLong(pst::kAttachByValue);
    a.props[pst::PidTagAttachFilename] = pst::MakeUtf8(name.toStdString());
    a.props[pst::PidTagAttachLongFilename] = pst::MakeUtf8(name.toStdString());
    a.props[pst::PidTagDisplayName] = pst::MakeUtf8(name.toStdString());
    a.props[pst::PidTagAttachMimeTag] = pst::MakeUtf8(mimeType.toStdString());
    a.props[pst::PidTagRenderingPosition] = pst::MakeLong(0xFFFFFFFF);
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot > 0) a.props[0x3703] = pst::MakeUtf8(name.mid(dot).toStdString());  // PR_ATTACH_EXTENSION
    if (const char* cid = g_mime_object_get_content_id(obj); cid && *cid) {
        a.props[kAttachContentId] = pst::MakeUtf8(cid);
        if (inlineImage) {
            // Shown in place by the HTML body, not in the attachment list.
            a.props[kAttachHidden] = pst::MakeBool(true);
            a.props[kAttachFlags] = pst::MakeLong(4);  // ATT_MHTML_REF
        }
    }
    w.attachments.push_back(std::move(a));
}

void WalkPart(Walk& w, GMimeObject* obj, bool inRelated) {
    if (++w.depth > 64) return;  // nesting beyond any real message
    if (GMIME_IS_MULTIPART(obj)) {
        GMimeMultipart* mp = GMIME_MULTIPART(obj);
        GMimeContentType* ct = g_mime_object_get_content_type(obj);
        const bool related = ct && g_mime_content_type_is_type(ct, "multipart", "related");
        const int n = g_mime_multipart_get_count(mp);
        for (int i = 0; i < n; ++i) WalkPart(w, g_mime_multipart_get_part(mp, i), related || inRelated);
    } else if (GMIME_IS_MESSAGE_PART(obj)) {
        GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(obj));
        GPtr<GMimeStream> mem(g_mime_stream_mem_new());
        if (inner) g_mime_object_write_to_stream(GMIME_OBJECT(inner), nullptr, mem.p);
        GByteArray* a = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(mem.p));
        AddAttachment(
            w, obj, a ? QByteArray(reinterpret_cast<const char*>(a->data), qsizetype(a->len)) : QByteArray(),
            false);
    } else if (GMIME_IS_PART(obj)) {
        GMimePart* part = GMIME_PART(obj);
        GMimeContentType* ct = g_mime_object_get_content_type(obj);
        const bool isText = ct && g_mime_content_type_is_type(ct, "text", "*");
        const bool isHtml = ct && g_mime_content_type_is_type(ct, "text", "html");
        const bool isPlain = ct && g_mime_content_type_is_type(ct, "text", "plain");
        const bool attachment = g_mime_part_is_attachment(part) || g_mime_part_get_filename(part);
        const QByteArray bytes = PartBytes(part);
        if (isText && !attachment && isHtml && !w.haveHtml) {
            w.html = PartText(part, bytes);
            w.haveHtml = true;
        } else if (isText && !attachment && isPlain && !w.havePlain) {
            w.plain = PartText(part, bytes);
            w.havePlain = true;
        } else if (bytes.isEmpty() && !attachment && !g_mime_object_get_content_id(obj)) {
            // An empty part without a name (a body left empty) carries nothing.
        } else {
            const bool image = ct && g_mime_content_type_is_type(ct, "image", "*");
            AddAttachment(w, obj, bytes, image && (inRelated || !g_mime_part_is_attachment(part)));
        }
    }
    --w.depth;
}

}  // namespace

bool PstImportEml(PstItemData& d, const QString& path, QString& why) {
    QByteArray data;
    if (!PstReadFile(path, data, why)) return false;
    InitGMime();
    GPtr<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(data.constData(), size_t(data.size())));
    GPtr<GMimeParser> parser(g_mime_parser_new_with_stream(stream.p));
    GPtr<GMimeMessage> message(g_mime_parser_construct_message(parser.p, nullptr));
    if (!message.p) {
        why = QStringLiteral("not an Internet message");
        return false;
    }
    GMimeObject* top = GMIME_OBJECT(message.p);
    GMimeHeaderList* headers = g_mime_object_get_header_list(top);
    GMimeObject* body = g_mime_message_get_mime_part(message.p);
    if ((!headers || g_mime_header_list_get_count(headers) == 0) && !body) {
        why = QStringLiteral("no header and no body");
        return false;
    }

    const QString subject = HeaderText(top, "Subject");
    if (!subject.isEmpty() || g_mime_header_list_contains(headers, "Subject")) {
        d.msg.props[pst::PidTagSubject] = pst::MakeUtf8(subject.toStdString());
        d.msg.props[kNormalizedSubject] = pst::MakeUtf8(subject.toStdString());
        d.msg.props[pst::PidTagConversationTopic] = pst::MakeUtf8(subject.toStdString());
    }
    // The writers put a whole address list into one encoded word: decoded first, then split.
    const QList<PstPerson> from = SplitPeople(HeaderText(top, "From"));
    if (!from.isEmpty()) PstSetSender(d, from.front(), true);
    const struct {
        const char* header;
        uint32_t type;
    } kinds[] = {{"To", 1}, {"Cc", 2}, {"Bcc", 3}};
    for (const auto& k : kinds) {
        const QList<PstPerson> people = SplitPeople(HeaderText(top, k.header));
        if (!people.isEmpty()) PstSetRecipients(d, k.type, people);
    }
    if (GDateTime* date = g_mime_message_get_date(message.p)) {
        const uint64_t ft = static_cast<uint64_t>((g_date_time_to_unix(date) + 11644473600LL) * 10000000LL);
        d.msg.props[pst::PidTagMessageDeliveryTime] = pst::MakeI8(ft, pst::PT_SYSTIME);
        d.msg.props[pst::PidTagClientSubmitTime] = pst::MakeI8(ft, pst::PT_SYSTIME);
    }
    if (const char* id = g_mime_message_get_message_id(message.p); id && *id)
        d.msg.props[kInternetMessageId] = pst::MakeUtf8(std::string("<") + id + ">");
    const QString priority = HeaderText(top, "X-Priority");
    if (!priority.isEmpty()) {
        const int p = priority.left(1).toInt();
        d.msg.props[pst::PidTagImportance] = pst::MakeLong(p == 0 ? 1 : p <= 2 ? 2 : p >= 4 ? 0 : 1);
    }
    // The transport headers, as Outlook keeps them for a received message.
    const qsizetype headerEnd =
        data.indexOf("\r\n\r\n") >= 0 ? data.indexOf("\r\n\r\n") : data.indexOf("\n\n");
    if (headerEnd > 0 && headerEnd < (1 << 20))
        d.msg.props[kTransportHeaders] =
            pst::MakeUtf8(QString::fromUtf8(data.left(headerEnd + 2)).toStdString());

    Walk w;
    if (body) WalkPart(w, body, false);
    if (w.haveHtml) {
        const QByteArray utf8 = w.html.toUtf8();
        d.msg.props[pst::PidTagHtml] = pst::MakeBinary(pst::Bytes(utf8.begin(), utf8.end()));
        d.msg.props[kInternetCodepage] = pst::MakeLong(65001);
        d.msg.props[kNativeBody] = pst::MakeLong(3);
    }
    if (w.havePlain) d.msg.props[pst::PidTagBody] = pst::MakeUtf8(w.plain.toStdString());
    for (auto& a : w.attachments) d.msg.attachments.push_back(std::move(a));
    // A message read from a file was sent: never a draft.
    PstSetFlag(d, 0x8, false);
    return true;
}
