#include "common/pst/PstAddresses.h"

namespace {

QString Unquote(QString s) {
    s = s.trimmed();
    if (s.size() >= 2 && s.front() == u'"' && s.back() == u'"') s = s.mid(1, s.size() - 2);
    s.replace(QStringLiteral("\\\""), QStringLiteral("\""));
    return s.trimmed();
}

bool LooksLikeSmtp(const QString& s) {
    const qsizetype at = s.indexOf(u'@');
    return at > 0 && at < s.size() - 1 && !s.contains(u' ') && !s.contains(u'/');
}

}  // namespace

PstPerson PersonOf(const QString& entry) {
    PstPerson p;
    const QString e = entry.trimmed();
    const qsizetype lt = e.lastIndexOf(u'<'), gt = e.lastIndexOf(u'>');
    if (lt >= 0 && gt > lt) {
        p.address = e.mid(lt + 1, gt - lt - 1).trimmed();
        p.name = Unquote(e.left(lt));
    } else {
        p.address = e;
    }
    if (LooksLikeSmtp(p.address)) {
        p.type = QStringLiteral("SMTP");
        if (p.address.startsWith(QLatin1String("mailto:"), Qt::CaseInsensitive)) p.address = p.address.mid(7);
        if (p.name.isEmpty()) p.name = p.address;
        return p;
    }
    // A Notes name: its common name shows, the full name stays the address.
    p.type = QStringLiteral("NOTES");
    if (p.name.isEmpty()) {
        const qsizetype cn = p.address.indexOf(QLatin1String("CN="), 0, Qt::CaseInsensitive);
        if (cn >= 0) {
            const qsizetype slash = p.address.indexOf(u'/', cn);
            p.name = p.address.mid(cn + 3, slash < 0 ? -1 : slash - cn - 3);
        } else {
            p.name = p.address.section(u'/', 0, 0);
        }
    }
    return p;
}

QList<PstPerson> SplitPeople(const QString& text) {
    QList<PstPerson> out;
    QString cur;
    bool quoted = false;
    int angle = 0;
    auto flush = [&] {
        if (!cur.trimmed().isEmpty()) out.append(PersonOf(cur));
        cur.clear();
    };
    for (QChar c : text) {
        if (c == u'"')
            quoted = !quoted;
        else if (c == u'<' && !quoted)
            ++angle;
        else if (c == u'>' && !quoted && angle > 0)
            --angle;
        if ((c == u';' || c == u',') && !quoted && angle == 0) {
            // A "," splits only between addresses, never inside "Lee, Ann <ann@acme.com>".
            if (c == u',' && !cur.contains(u'@') && !cur.contains(QLatin1String("CN="))) {
                cur += c;
                continue;
            }
            flush();
            continue;
        }
        cur += c;
    }
    flush();
    return out;
}

QByteArray OneOffEntryId(const PstPerson& p) {
    static const unsigned char kOneOffUid[16] = {0x81, 0x2B, 0x1F, 0xA4, 0xBE, 0xA3, 0x10, 0x19,
                                                 0x9D, 0x6E, 0x00, 0xDD, 0x01, 0x0F, 0x54, 0x02};
    QByteArray b(4, '\0');
    b.append(reinterpret_cast<const char*>(kOneOffUid), 16);
    b.append('\0').append('\0');  // version
    // MAPI_UNICODE, and "send as plain text not forced" (format bits 0).
    b.append('\x00').append('\x80');
    auto addWide = [&](const QString& s) {
        for (QChar c : s) b.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
        b.append('\0').append('\0');
    };
    addWide(p.name);
    addWide(p.type);
    addWide(p.address);
    return b;
}
