// Date, after the ECMAScript time arithmetic (ms since 1970 UTC, proleptic Gregorian).

#include <cmath>
#include <cstdio>
#include <limits>

#include "engine/avm1/Library.h"
#include "engine/avm1/Vm.h"

namespace zd::avm1::lib {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kMsPerDay = 86400000.0;

double day(double t) {
    return std::floor(t / kMsPerDay);
}
double timeWithinDay(double t) {
    const double r = std::fmod(t, kMsPerDay);
    return r < 0 ? r + kMsPerDay : r;
}
double daysInYear(double y) {
    if (std::fmod(y, 4) != 0) {
        return 365;
    }
    if (std::fmod(y, 100) != 0) {
        return 366;
    }
    return std::fmod(y, 400) != 0 ? 365 : 366;
}
double dayFromYear(double y) {
    return 365 * (y - 1970) + std::floor((y - 1969) / 4) - std::floor((y - 1901) / 100) +
           std::floor((y - 1601) / 400);
}
double timeFromYear(double y) {
    return kMsPerDay * dayFromYear(y);
}
double yearFromTime(double t) {
    double y = std::floor(t / (kMsPerDay * 365.2425)) + 1970;
    while (timeFromYear(y) > t) {
        y -= 1;
    }
    while (timeFromYear(y + 1) <= t) {
        y += 1;
    }
    return y;
}
bool inLeapYear(double t) {
    return daysInYear(yearFromTime(t)) == 366;
}
double dayWithinYear(double t) {
    return day(t) - dayFromYear(yearFromTime(t));
}

const int kCumulative[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365};

double monthFromTime(double t) {
    const double d = dayWithinYear(t);
    const int leap = inLeapYear(t) ? 1 : 0;
    for (int m = 0; m < 12; ++m) {
        const int end = kCumulative[m + 1] + (m >= 1 ? leap : 0);
        if (d < end) {
            return m;
        }
    }
    return 11;
}
double dateFromTime(double t) {
    const double d = dayWithinYear(t);
    const int m = static_cast<int>(monthFromTime(t));
    const int leap = inLeapYear(t) && m >= 2 ? 1 : 0;
    return d - kCumulative[m] - leap + 1;
}
double weekDay(double t) {
    const double r = std::fmod(day(t) + 4, 7);
    return r < 0 ? r + 7 : r;
}
double hourFromTime(double t) {
    return std::floor(timeWithinDay(t) / 3600000.0);
}
double minFromTime(double t) {
    return std::fmod(std::floor(timeWithinDay(t) / 60000.0), 60);
}
double secFromTime(double t) {
    return std::fmod(std::floor(timeWithinDay(t) / 1000.0), 60);
}
double msFromTime(double t) {
    return std::fmod(timeWithinDay(t), 1000);
}

double toInteger(double d) {
    return std::isnan(d) ? 0 : std::trunc(d);
}

double makeTime(double h, double m, double s, double ms) {
    if (!std::isfinite(h) || !std::isfinite(m) || !std::isfinite(s) || !std::isfinite(ms)) {
        return kNaN;
    }
    return toInteger(h) * 3600000.0 + toInteger(m) * 60000.0 + toInteger(s) * 1000.0 +
           toInteger(ms);
}
double makeDay(double year, double month, double date) {
    if (!std::isfinite(year) || !std::isfinite(month) || !std::isfinite(date)) {
        return kNaN;
    }
    year = toInteger(year);
    month = toInteger(month);
    date = toInteger(date);
    const double ym = year + std::floor(month / 12);
    double mn = std::fmod(month, 12);
    if (mn < 0) {
        mn += 12;
    }
    if (std::fabs(ym) > 400000) {
        return kNaN;
    }
    const int mi = static_cast<int>(mn);
    const double dayOfYear = kCumulative[mi] + (mi >= 2 && daysInYear(ym) == 366 ? 1 : 0);
    return dayFromYear(ym) + dayOfYear + date - 1;
}
double makeDate(double d, double t) {
    if (!std::isfinite(d) || !std::isfinite(t)) {
        return kNaN;
    }
    return d * kMsPerDay + t;
}
double timeClip(double t) {
    if (!std::isfinite(t) || std::fabs(t) > 8.64e15) {
        return kNaN;
    }
    return t;
}

double offsetMs(Vm& vm, double utc) {
    return std::isfinite(utc) ? vm.host().utcOffsetMinutes(utc) * 60000.0 : 0.0;
}
double localTime(Vm& vm, double utc) {
    return utc + offsetMs(vm, utc);
}
double utcFromLocal(Vm& vm, double local) {
    if (!std::isfinite(local)) {
        return local;
    }
    return local - offsetMs(vm, local - offsetMs(vm, local));
}

DateObject* thisDate(const CallInfo& c) {
    Object* o = c.thisObject();
    return o != nullptr && o->kind() == ObjectKind::Date ? static_cast<DateObject*>(o) : nullptr;
}

Object* allocateDate(Vm& vm, Object* proto) {
    auto* d = vm.heap().make<DateObject>(proto);
    return d;
}

std::string formatDate(Vm& vm, double t) {
    if (std::isnan(t)) {
        return "Invalid Date";
    }
    static const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                    "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const double lt = localTime(vm, t);
    const double offset = offsetMs(vm, t) / 60000.0;
    const int off = static_cast<int>(offset);
    char buf[128];
    std::snprintf(buf, sizeof buf, "%s %s %d %02d:%02d:%02d GMT%c%02d%02d %.0f",
                  kDays[static_cast<int>(weekDay(lt))],
                  kMonths[static_cast<int>(monthFromTime(lt))], static_cast<int>(dateFromTime(lt)),
                  static_cast<int>(hourFromTime(lt)), static_cast<int>(minFromTime(lt)),
                  static_cast<int>(secFromTime(lt)), off < 0 ? '-' : '+', std::abs(off) / 60,
                  std::abs(off) % 60, yearFromTime(lt));
    return buf;
}

// Time from constructor-style arguments (year, month[, date, h, m, s, ms]).
double fromParts(Vm& vm, const CallInfo& c) {
    double parts[7] = {kNaN, 0, 1, 0, 0, 0, 0};
    for (std::size_t i = 0; i < 7 && i < c.count(); ++i) {
        parts[i] = vm.toNumber(c.arg(i));
    }
    double year = parts[0];
    if (std::isfinite(year)) {
        const double y = toInteger(year);
        if (y >= 0 && y <= 99) {
            year = 1900 + y;
        }
    }
    return makeDate(makeDay(year, parts[1], parts[2]),
                    makeTime(parts[3], parts[4], parts[5], parts[6]));
}

Value dateConstructor(Vm& vm, const CallInfo& c) {
    if (!c.construct) {
        return Value(vm.str(formatDate(vm, std::floor(vm.host().now()))));
    }
    DateObject* d = thisDate(c);
    if (d == nullptr) {
        return c.thisValue;
    }
    if (c.count() == 0) {
        d->time = std::floor(vm.host().now());
    } else if (c.count() == 1) {
        d->time = timeClip(vm.toNumber(c.arg(0)));
    } else {
        d->time = timeClip(utcFromLocal(vm, fromParts(vm, c)));
    }
    return c.thisValue;
}

Value dateUTC(Vm& vm, const CallInfo& c) {
    if (c.count() < 2) {
        return Value();
    }
    return Value(timeClip(fromParts(vm, c)));
}

enum class Field { FullYear, Year, Month, Date, Day, Hours, Minutes, Seconds, Milliseconds };

double field(double t, Field f) {
    switch (f) {
        case Field::FullYear:
            return yearFromTime(t);
        case Field::Year:
            return yearFromTime(t) - 1900;
        case Field::Month:
            return monthFromTime(t);
        case Field::Date:
            return dateFromTime(t);
        case Field::Day:
            return weekDay(t);
        case Field::Hours:
            return hourFromTime(t);
        case Field::Minutes:
            return minFromTime(t);
        case Field::Seconds:
            return secFromTime(t);
        case Field::Milliseconds:
            return std::floor(msFromTime(t));  // a fractional time reads whole milliseconds
    }
    return kNaN;
}

template <Field F, bool Utc>
Value getField(Vm& vm, const CallInfo& c) {
    DateObject* d = thisDate(c);
    if (d == nullptr) {
        return Value();
    }
    if (std::isnan(d->time)) {
        return Value(kNaN);
    }
    return Value(field(Utc ? d->time : localTime(vm, d->time), F));
}

Value dateGetTime(Vm&, const CallInfo& c) {
    DateObject* d = thisDate(c);
    return d ? Value(d->time) : Value();
}

Value dateGetTimezoneOffset(Vm& vm, const CallInfo& c) {
    DateObject* d = thisDate(c);
    if (d == nullptr) {
        return Value();
    }
    if (std::isnan(d->time)) {
        return Value(kNaN);
    }
    return Value(-offsetMs(vm, d->time) / 60000.0);
}

Value dateSetTime(Vm& vm, const CallInfo& c) {
    DateObject* d = thisDate(c);
    if (d == nullptr) {
        return Value();
    }
    d->time = timeClip(vm.toNumber(c.arg(0)));
    return Value(d->time);
}

Value dateToString(Vm& vm, const CallInfo& c) {
    DateObject* d = thisDate(c);
    if (d == nullptr) {
        return Value(vm.intern("[object Object]"));
    }
    return Value(vm.str(formatDate(vm, d->time)));
}

// Setters: the given fields replace those of the current time (local or UTC); missing
// optional arguments keep their current values.
template <Field First, bool Utc>
Value setFields(Vm& vm, const CallInfo& c) {
    DateObject* d = thisDate(c);
    if (d == nullptr) {
        return Value();
    }
    double t = d->time;
    if (std::isnan(t)) {
        if (First != Field::FullYear && First != Field::Year) {
            return Value(kNaN);
        }
        t = 0;
    } else if (!Utc) {
        t = localTime(vm, t);
    }
    double y = yearFromTime(t), mo = monthFromTime(t), dt = dateFromTime(t);
    double h = hourFromTime(t), mi = minFromTime(t), s = secFromTime(t), ms = msFromTime(t);
    double* order[] = {&y, &mo, &dt, &h, &mi, &s, &ms};
    int start = 0;
    int maxArgs = 0;
    switch (First) {
        case Field::FullYear:
        case Field::Year:
            start = 0;
            maxArgs = 3;
            break;
        case Field::Month:
            start = 1;
            maxArgs = 2;
            break;
        case Field::Date:
            start = 2;
            maxArgs = 1;
            break;
        case Field::Hours:
            start = 3;
            maxArgs = 4;
            break;
        case Field::Minutes:
            start = 4;
            maxArgs = 3;
            break;
        case Field::Seconds:
            start = 5;
            maxArgs = 2;
            break;
        default:
            start = 6;
            maxArgs = 1;
            break;
    }
    if (c.count() == 0) {
        d->time = kNaN;
        return Value(kNaN);
    }
    for (int i = 0; i < maxArgs && static_cast<std::size_t>(i) < c.count(); ++i) {
        *order[start + i] = vm.toNumber(c.arg(static_cast<std::size_t>(i)));
    }
    if (First == Field::Year && std::isfinite(y)) {
        const double yi = toInteger(y);
        if (yi >= 0 && yi <= 99) {
            y = 1900 + yi;
        }
    }
    double result = makeDate(makeDay(y, mo, dt), makeTime(h, mi, s, ms));
    if (!Utc) {
        result = utcFromLocal(vm, result);
    }
    d->time = timeClip(result);
    return Value(d->time);
}

}  // namespace

void installDate(Vm& vm) {
    auto* proto = vm.heap().make<DateObject>(vm.protos().object);
    proto->time = kNaN;
    vm.protos().date = proto;
    FunctionObject* ctor = defineClass(vm, "Date", dateConstructor, proto, allocateDate);
    vm.defineNative(ctor, "UTC", dateUTC);
    vm.defineNative(proto, "getTime", dateGetTime);
    vm.defineNative(proto, "valueOf", dateGetTime);
    vm.defineNative(proto, "getTimezoneOffset", dateGetTimezoneOffset);
    vm.defineNative(proto, "setTime", dateSetTime);
    vm.defineNative(proto, "toString", dateToString);
    vm.defineNative(proto, "getFullYear", getField<Field::FullYear, false>);
    vm.defineNative(proto, "getYear", getField<Field::Year, false>);
    vm.defineNative(proto, "getMonth", getField<Field::Month, false>);
    vm.defineNative(proto, "getDate", getField<Field::Date, false>);
    vm.defineNative(proto, "getDay", getField<Field::Day, false>);
    vm.defineNative(proto, "getHours", getField<Field::Hours, false>);
    vm.defineNative(proto, "getMinutes", getField<Field::Minutes, false>);
    vm.defineNative(proto, "getSeconds", getField<Field::Seconds, false>);
    vm.defineNative(proto, "getMilliseconds", getField<Field::Milliseconds, false>);
    vm.defineNative(proto, "getUTCFullYear", getField<Field::FullYear, true>);
    vm.defineNative(proto, "getUTCYear", getField<Field::Year, true>);
    vm.defineNative(proto, "getUTCMonth", getField<Field::Month, true>);
    vm.defineNative(proto, "getUTCDate", getField<Field::Date, true>);
    vm.defineNative(proto, "getUTCDay", getField<Field::Day, true>);
    vm.defineNative(proto, "getUTCHours", getField<Field::Hours, true>);
    vm.defineNative(proto, "getUTCMinutes", getField<Field::Minutes, true>);
    vm.defineNative(proto, "getUTCSeconds", getField<Field::Seconds, true>);
    vm.defineNative(proto, "getUTCMilliseconds", getField<Field::Milliseconds, true>);
    vm.defineNative(proto, "setFullYear", setFields<Field::FullYear, false>);
    vm.defineNative(proto, "setYear", setFields<Field::Year, false>);
    vm.defineNative(proto, "setMonth", setFields<Field::Month, false>);
    vm.defineNative(proto, "setDate", setFields<Field::Date, false>);
    vm.defineNative(proto, "setHours", setFields<Field::Hours, false>);
    vm.defineNative(proto, "setMinutes", setFields<Field::Minutes, false>);
    vm.defineNative(proto, "setSeconds", setFields<Field::Seconds, false>);
    vm.defineNative(proto, "setMilliseconds", setFields<Field::Milliseconds, false>);
    vm.defineNative(proto, "setUTCFullYear", setFields<Field::FullYear, true>);
    vm.defineNative(proto, "setUTCMonth", setFields<Field::Month, true>);
    vm.defineNative(proto, "setUTCDate", setFields<Field::Date, true>);
    vm.defineNative(proto, "setUTCHours", setFields<Field::Hours, true>);
    vm.defineNative(proto, "setUTCMinutes", setFields<Field::Minutes, true>);
    vm.defineNative(proto, "setUTCSeconds", setFields<Field::Seconds, true>);
    vm.defineNative(proto, "setUTCMilliseconds", setFields<Field::Milliseconds, true>);
}

}  // namespace zd::avm1::lib
