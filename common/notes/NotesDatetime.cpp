#include "common/notes/Notes.h"

#include <QDateTime>

#include <chrono>
#include <cstdio>

namespace {

bool Digits(std::string_view s, std::size_t pos, std::size_t count, int* out) {
    if (pos + count > s.size()) return false;
    int v = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const char c = s[pos + i];
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    *out = v;
    return true;
}

bool ValidDate(int y, int m, int d) {
    using namespace std::chrono;
    return y >= 1 && y <= 9999 &&
           year_month_day{year{y}, month{static_cast<unsigned>(m)}, day{static_cast<unsigned>(d)}}.ok();
}

}  // namespace

LNDatetime::LNDatetime(int year, int month, int day, int hour, int minute, int second)
    : year_(year),
      month_(month),
      day_(day),
      hour_(hour),
      minute_(minute),
      second_(second),
      hasDate_(true),
      hasTime_(true) {}

bool LNDatetime::FromDxl(std::string_view text, bool dst, LNDatetime* out) {
    LNDatetime r;
    std::size_t p = 0;
    if (!text.empty() && text[0] != 'T') {
        if (!Digits(text, 0, 4, &r.year_) || !Digits(text, 4, 2, &r.month_) || !Digits(text, 6, 2, &r.day_) ||
            !ValidDate(r.year_, r.month_, r.day_))
            return false;
        r.hasDate_ = true;
        p = 8;
    }
    if (p < text.size() && text[p] == 'T') {
        ++p;
        if (!Digits(text, p, 2, &r.hour_) || !Digits(text, p + 2, 2, &r.minute_) ||
            !Digits(text, p + 4, 2, &r.second_) || r.hour_ > 23 || r.minute_ > 59 || r.second_ > 59)
            return false;
        p += 6;
        if (p < text.size() && text[p] == ',') {
            if (!Digits(text, p + 1, 2, &r.hundredths_)) return false;
            p += 3;
        }
        r.hasTime_ = true;
        if (p < text.size()) {
            const char sign = text[p];
            if (sign == 'Z' && p + 1 == text.size()) {
                r.hasZone_ = true;
            } else if (sign == '+' || sign == '-') {
                int h = 0, m = 0;
                std::size_t q = p + 1;
                if (!Digits(text, q, 2, &h)) return false;
                q += 2;
                if (q < text.size() && text[q] == ':') ++q;
                if (q < text.size()) {
                    if (!Digits(text, q, 2, &m)) return false;
                    q += 2;
                }
                if (q != text.size() || h > 14 || m > 59) return false;
                r.hasZone_ = true;
                r.offsetMinutes_ = (sign == '-' ? -1 : 1) * (h * 60 + m);
            } else {
                return false;
            }
        }
    } else if (p != text.size()) {
        return false;
    }
    if (!r.hasDate_ && !r.hasTime_) return false;
    r.dst_ = dst && r.hasZone_;
    *out = r;
    return true;
}

std::string LNDatetime::ToDxl() const {
    std::string s;
    char buf[40];
    if (hasDate_) {
        std::snprintf(buf, sizeof buf, "%04d%02d%02d", year_, month_, day_);
        s += buf;
    }
    if (hasTime_) {
        std::snprintf(buf, sizeof buf, "T%02d%02d%02d,%02d", hour_, minute_, second_, hundredths_);
        s += buf;
        if (hasZone_) {
            const int a = offsetMinutes_ < 0 ? -offsetMinutes_ : offsetMinutes_;
            if (a % 60 == 0)
                std::snprintf(buf, sizeof buf, "%c%02d", offsetMinutes_ < 0 ? '-' : '+', a / 60);
            else
                std::snprintf(buf, sizeof buf, "%c%02d%02d", offsetMinutes_ < 0 ? '-' : '+', a / 60, a % 60);
            s += buf;
        }
    }
    return s;
}

LNDatetime LNDatetime::ConvertToZone(int zone, bool dst) const {
    if (!hasDate_ || !hasTime_ || !hasZone_) {
        LNDatetime r = *this;
        return r;
    }
    using namespace std::chrono;
    const int targetOffset = -zone * 60 + (dst ? 60 : 0);
    const sys_days day0{year{year_} / month{static_cast<unsigned>(month_)} /
                        day{static_cast<unsigned>(day_)}};
    const sys_seconds local = day0 + hours{hour_} + minutes{minute_} + seconds{second_};
    const sys_seconds shifted = local + minutes{targetOffset - offsetMinutes_};
    const auto d = floor<days>(shifted);
    const year_month_day ymd{d};
    const hh_mm_ss hms{shifted - d};
    LNDatetime r = *this;
    r.year_ = int(ymd.year());
    r.month_ = int(unsigned(ymd.month()));
    r.day_ = int(unsigned(ymd.day()));
    r.hour_ = int(hms.hours().count());
    r.minute_ = int(hms.minutes().count());
    r.second_ = int(hms.seconds().count());
    r.offsetMinutes_ = targetOffset;
    r.dst_ = dst;
    if (!ValidDate(r.year_, r.month_, r.day_)) return *this;  // shifted out of 1..9999
    return r;
}

LNDatetime LNDatetime::ToLocal() const {
    if (!hasDate_ || !hasTime_ || !hasZone_) return *this;
    const QDateTime utc = QDateTime(QDate(year_, month_, day_), QTime(hour_, minute_, second_), Qt::UTC)
                              .addSecs(-offsetMinutes_ * 60);
    const QDateTime local = utc.toLocalTime();
    if (!local.isValid() || local.date().year() < 1 || local.date().year() > 9999) return *this;
    LNDatetime r = *this;
    r.year_ = local.date().year();
    r.month_ = local.date().month();
    r.day_ = local.date().day();
    r.hour_ = local.time().hour();
    r.minute_ = local.time().minute();
    r.second_ = local.time().second();
    r.offsetMinutes_ = local.offsetFromUtc() / 60;
    r.dst_ = local.isDaylightTime();
    return r;
}

LNString LNDatetime::GetPlainText() const {
    char buf[80];
    std::snprintf(buf, sizeof buf, "%d/%d/%d %d:%d:%d", month_, day_, year_, hour_, minute_, second_);
    return buf;
}

LNString LNDatetime::GetText() const {
    char buf[80];
    if (hasDate_ && hasTime_)
        std::snprintf(buf, sizeof buf, "%02d/%02d/%04d %02d:%02d:%02d", month_, day_, year_, hour_, minute_,
                      second_);
    else if (hasDate_)
        std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", month_, day_, year_);
    else if (hasTime_)
        std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", hour_, minute_, second_);
    else
        return {};
    return buf;
}

LNString LNDatetimes::GetText(std::string_view separator) const {
    LNString out;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i) out += separator;
        out += entries[i].start.GetText();
        if (entries[i].isRange) out += " - " + entries[i].end.GetText();
    }
    return out;
}

LNDatetimes LNDatetimes::ToLocal() const {
    LNDatetimes out = *this;
    for (auto& e : out.entries) {
        e.start = e.start.ToLocal();
        e.end = e.end.ToLocal();
    }
    return out;
}
