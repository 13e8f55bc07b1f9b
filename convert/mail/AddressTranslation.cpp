#include "convert/mail/AddressTranslation.h"

namespace {

const QString kCn = QStringLiteral("CN=");
const QString kDot = QStringLiteral(".");

QString CommonNameOrSelf(const QString& entry) {
    const QString cn = CommonNameOf(entry);
    return cn.isEmpty() ? entry : cn;
}

QString Reduce(const QString& entry) {
    return entry.contains(kCn) ? CommonNameOrSelf(entry) : entry;
}

// Every part is followed by ";", and all ";" at the end are dropped once the list is built.
class SeparatedList {
  public:
    void Append(const QString& part) {
        text_ += part;
        text_ += u';';
    }
    QString Close() {
        qsizetype end = text_.size();
        while (end > 0 && text_[end - 1] == u';') --end;
        text_.truncate(end);
        return text_;
    }

  private:
    QString text_;
};

// The list rules both functions share once the single-address shortcut did not apply: resolve
// gives the text that stands for a Notes entry, keep the text for an Internet entry.
template <typename ResolveNotes, typename KeepInternet>
QString Combine(const QString& notesList, const CToken& a, const CToken& b, ResolveNotes resolve,
                KeepInternet keep) {
    SeparatedList result;
    if (a.Count() == b.Count() && a.Count() > 0) {
        for (qsizetype i = 0; i < a.Count(); ++i) result.Append(a[i] == kDot ? resolve(b[i]) : keep(a[i]));
        return result.Close();
    }
    if (a.Count() > 0) {
        for (const QString& entry : a.Entries()) {
            if (entry != kDot) result.Append(keep(entry));
        }
        return result.Close();
    }
    if (b.Count() > 0) {
        for (const QString& entry : b.Entries()) result.Append(resolve(entry));
        return result.Close();
    }
    return resolve(notesList);
}

}  // namespace

CToken::CToken(const QString& text, QChar separator) {
    if (text.contains(separator)) entries_ = text.split(separator, Qt::KeepEmptyParts);
}

QString CommonNameOf(const QString& text) {
    const qsizetype start = text.indexOf(kCn);
    if (start < 0) return {};
    const qsizetype from = start + kCn.size();
    const qsizetype slash = text.indexOf(u'/', from);
    return slash < 0 ? text.mid(from) : text.mid(from, slash - from);
}

QString MergeAddressLists(const QString& internetList, const QString& notesList) {
    if (!internetList.isEmpty() && internetList != kDot && !internetList.contains(u';') &&
        !internetList.contains(kCn))
        return internetList;
    return Combine(notesList, CToken(internetList), CToken(notesList), CommonNameOrSelf, Reduce);
}

QString TranslateAddressLists(const QString& internetList, const QString& notesList,
                              const RunOptions& options) {
    const bool mapMode = options.csvTranslationOn == 1 || options.namesNsfTranslationOn == 1;
    const bool patternOn = options.smtpPatternOn == 1;
    if (!mapMode && !patternOn) return {};
    if (!internetList.isEmpty() && internetList != kDot && !internetList.contains(u';')) return internetList;

    auto lookUp = [&](const QString& key, const QString& entry, QString& address) {
        const auto found = options.addressMap.find(key.toUpper());
        if (found == options.addressMap.end()) return false;
        address = PickAddress(found->second, entry);
        if (address.isEmpty()) address = found->second;
        return true;
    };
    auto resolve = [&](const QString& entry) -> QString {
        const QString cn = CommonNameOf(entry);
        if (!mapMode) return cn.isEmpty() ? entry : SmtpPattern(cn, options);
        QString address;
        if (cn.isEmpty()) return lookUp(entry, entry, address) ? address : entry;
        if (lookUp(cn, entry, address)) return address;
        return patternOn ? SmtpPattern(cn, options) : cn;
    };
    auto keep = [](const QString& entry) { return entry; };
    return Combine(notesList, CToken(internetList), CToken(notesList), resolve, keep);
}

QString PickAddress(const QString& value, const QString& notesName) {
    const CToken entries(value);
    if (entries.Count() == 0) return {};
    for (const QString& entry : entries.Entries()) {
        const qsizetype at = entry.indexOf(u'@');
        if (at < 0) continue;
        const QString domain = entry.mid(at + 1);
        const qsizetype dot = domain.indexOf(u'.');
        const QString label = dot < 0 ? domain : domain.left(dot);
        if (notesName.contains(label, Qt::CaseInsensitive)) return entry;
    }
    return entries[0];
}

QString SmtpPattern(const QString& name, const RunOptions& options) {
    QString first;
    QString last;
    const qsizetype space = name.lastIndexOf(u' ');
    if (space >= 0) {
        first = name.left(space).remove(u' ');
        last = name.mid(space).remove(u' ');
    } else {
        first = name;
        last = QStringLiteral("SMTP");
    }
    // The initial is a whole character, so a name that starts outside the BMP keeps its pair.
    auto initial = [](const QString& text) {
        if (text.isEmpty()) return QString();
        return text.left(text.front().isHighSurrogate() && text.size() > 1 ? 2 : 1);
    };
    const QString fi = initial(first);
    const QString li = initial(last);
    const QString at = u'@' + options.smtpDomain;
    switch (options.smtpFormat) {
        case 0:
            return first + at;
        case 1:
            return last + at;
        case 2:
            return first + u'.' + last + at;
        case 3:
            return last + u'.' + first + at;
        case 4:
            return fi + u'.' + last + at;
        case 5:
            return last + u'.' + fi + at;
        case 6:
            return first + u'.' + li + at;
        case 7:
            return li + u'.' + first + at;
        default:
            return {};
    }
}
