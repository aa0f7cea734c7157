#include "OsvTime.h"

namespace
{
// Reads count digits at pos; false when they are not all digits.
bool Digits(std::string_view text, size_t pos, size_t count, int& value)
{
    if (pos + count > text.size())
        return false;
    value = 0;
    for (size_t i = pos; i < pos + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t year, int month, int day)
{
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

int DaysInMonth(int year, int month)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}
}  // namespace

std::optional<COsvTime> COsvTime::Parse(std::string_view text)
{
    int year, month, day, hour, minute, second;
    if (!Digits(text, 0, 4, year) || text.size() < 19 || text[4] != '-' || !Digits(text, 5, 2, month) ||
        text[7] != '-' || !Digits(text, 8, 2, day) || (text[10] != 'T' && text[10] != 't') ||
        !Digits(text, 11, 2, hour) || text[13] != ':' || !Digits(text, 14, 2, minute) || text[16] != ':' ||
        !Digits(text, 17, 2, second))
        return std::nullopt;
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 || minute > 59 ||
        second > 60)
        return std::nullopt;

    COsvTime time;
    size_t pos = 19;
    if (pos < text.size() && text[pos] == '.') {
        size_t digits = 0;
        for (++pos; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos, ++digits) {
            if (digits < 9)
                time.nanos = time.nanos * 10 + (text[pos] - '0');
        }
        if (digits == 0)
            return std::nullopt;
        for (; digits < 9; ++digits)
            time.nanos *= 10;
    }
    int offset = 0;
    if (pos + 1 == text.size() && (text[pos] == 'Z' || text[pos] == 'z')) {
        pos += 1;
    } else if (pos + 6 == text.size() && (text[pos] == '+' || text[pos] == '-') && text[pos + 3] == ':') {
        int offsetHours, offsetMinutes;
        if (!Digits(text, pos + 1, 2, offsetHours) || !Digits(text, pos + 4, 2, offsetMinutes) || offsetHours > 23 ||
            offsetMinutes > 59)
            return std::nullopt;
        offset = (offsetHours * 60 + offsetMinutes) * 60 * (text[pos] == '-' ? -1 : 1);
        pos += 6;
    }
    if (pos != text.size())
        return std::nullopt;
    time.seconds = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second - offset;
    return time;
}
