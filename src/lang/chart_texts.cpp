#include "lang/chart_texts.h"

namespace tscard::lang {
namespace {

constexpr ChartTexts kEnglish = {
    "Time (s)",
    "Bit rate per 1-second window",
    "Bit rate (Mbit/s)",
    "whole stream",
    "PID %1",
    "card rate %1 Mbit/s",
    "PCR interval and accuracy, PID %1",
    "PCR interval (ms)",
    "PCR accuracy (%1)",
    "ns",
    "µs",
    "ms",
    "interval limit 40 ms",
    "accuracy limit ±500 ns",
    "Decoding delay: DTS (or PTS) minus the PCR clock at arrival",
    "Delay (ms)",
    "0 ms: late below",
    "1 s: early above",
    "no data",
};

constexpr ChartTexts kRussian = {
    "Время (с)",
    "Скорость потока по секундным окнам",
    "Скорость (Мбит/с)",
    "весь поток",
    "PID %1",
    "скорость карты %1 Мбит/с",
    "Интервал и точность PCR, PID %1",
    "Интервал PCR (мс)",
    "Точность PCR (%1)",
    "нс",
    "мкс",
    "мс",
    "предел интервала 40 мс",
    "предел точности ±500 нс",
    "Задержка декодирования: DTS (или PTS) минус часы PCR при приходе",
    "Задержка (мс)",
    "0 мс: ниже — опоздание",
    "1 с: выше — слишком рано",
    "нет данных",
};

}  // namespace

const ChartTexts& ChartTextsIn(Language language) { return language == Language::Russian ? kRussian : kEnglish; }

}  // namespace tscard::lang
