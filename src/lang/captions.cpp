#include "lang/captions.h"

#include "platform/codepage.h"

namespace tscard::lang {
namespace {

constexpr Caption kEnglish[] = {
    // Splice panel (Panel1)
    {"Label7", "Copy data from  file"},
    {"Label9", "To new sick file"},
    {"Label19", "mGb"},
    {"Label21", "mGb"},
    {"Button1", "Close"},
    {"Button2", "Added file in the list for stick"},
    {"Button3", "Finish a set and begin stick"},
    // Write panel (WriteWindow)
    {"Label25", "File write"},
    {"Label26", "Content of  written file"},
    {"Label8", "Size of writing file"},
    {"Label27", "Begin write"},
    {"Label28", "   Write stream"},
    {"Label1", "Hardware building (kbit/s)"},
    {"GroupBox4", "Transport Stream bitrate"},
    {"GroupBox5", "When the packet size lenght"},
    {"RadioButton3", "MBytes"},
    {"RadioButton4", "Bytes"},
    {"GroupBox3", "Pid's in a written down file"},
    {"RadioButton12", "To leave without changes"},
    {"RadioButton13", "To generate automatically"},
    // Read panel (Panel4)
    {"Label39", "Begin read"},
    {"GroupBox2", "Save stream as..."},
    {"RadioButton7", "Compressed"},
    {"RadioButton8", "Original"},
    // Card manager (FormatWindow)
    {"Label36", "   Serice && info for SD card"},
    {"Label3", "Capacity"},
    {"Label4", "Free"},
    {"Label5", "FAT"},
    {"SpeedButton19", "Clear All"},
    {"Label37", "Card content"},
    {"SpeedButton13", "Format"},
    {"SpeedButton21", "Close manager"},
    {"SpeedButton22", "Read file"},
    {"SpeedButton23", "Write file"},
    {"GroupBox1", "Type  write packets"},
    {"RadioButton5", "Compression"},
    {"RadioButton6", "Standart"},
    {"RadioButton2", "Full ( fill sectors with 0xFF)"},
    {"RadioButton1", "Rapid (clear header)"},
    // Prepare panel (PreparePn)
    {"Label23", " Multiplexer (MP2TS stream in system stream)"},
    {"Label10", "Begin"},
    {"Label24", "Stream content"},
    {"Label18", "PCR value"},
    {"Label6", "Location of prepare file"},
    {"Label2", "SysBr(Mb/s)"},
    {"Label43", "[correct]"},
    {"Label44", "[current]"},
    {"GroupBox8", "Edit stream  parameters"},
    {"Label14", "Program number"},
    {"Label15", "Program PID"},
    {"Label20", "Program provider"},
    {"Label22", "Program name"},
    {"GroupBox9", "Es PIDs"},
    {"Label11", "PCR"},
    {"Label12", "Video"},
    {"Label13", "Audio"},
    {"Label42", "PES"},
    // Parse panel (ParseWindow)
    {"Label29", "File stream parse"},
    {"Label30", "Content of file stream"},
    {"Label31", "Size of  file stream"},
    {"Label32", "Begin parse"},
    {"Label33", "   Parse multyprogramm stream"},
    {"Label34", "Reset selection for parse"},
    {"Label35", "Location of parsed files"},
    {"RadioButton9", "MBytes"},
    {"RadioButton10", "Bytes"},
};

constexpr Caption kRussian[] = {
    // Splice panel (Panel1)
    {"Label7", "Добавляются данные из файла..."},
    {"Label9", "Файл \"Склейки\""},
    {"Label19", "мГб"},
    {"Label21", "мГб"},
    {"Button1", "Закрыть"},
    {"Button2", "Добавить файл в список для \"склейки\""},
    {"Button3", "Завершение установок и начало \"склейки\""},
    // Write panel (WriteWindow)
    {"Label25", "Записать файл"},
    {"Label26", "Содержание файла"},
    {"Label8", "Размер файла"},
    {"Label27", "Начать"},
    {"Label28", "Запись потока"},
    {"Label1", "Аппаратного ремультиплексора(кбит/с)"},
    {"GroupBox4", "Скорость транспортного потока"},
    {"GroupBox5", "При длине пакета"},
    {"RadioButton3", "MБайт"},
    {"RadioButton4", "байт"},
    {"GroupBox3", "Pid'ы в записанном файле"},
    {"RadioButton12", "Пропустить без изменений"},
    {"RadioButton13", "Сгенерировать автоматически"},
    // Read panel (Panel4)
    {"Label39", "Начать"},
    {"GroupBox2", "Сохранить как..."},
    {"RadioButton7", "Сжатый"},
    {"RadioButton8", "Исходный"},
    // Card manager (FormatWindow)
    {"Label36", "Менеджер SD карты"},
    {"Label3", "Всего"},
    {"Label4", "Свободно"},
    {"SpeedButton19", "Очистить все"},
    {"Label37", "Содержание SD"},
    {"SpeedButton13", "Форматировать"},
    {"SpeedButton21", "Закрыть"},
    {"SpeedButton22", "Прочитать файл"},
    {"SpeedButton23", "Записать файл"},
    {"GroupBox1", "Тип записываемых пакетов"},
    {"RadioButton5", "Сжатие"},
    {"RadioButton6", "Стандартная"},
    {"RadioButton2", "Полная(очистка секторов)"},
    {"RadioButton1", "Быстрая(очистка таблицы)"},
    // Prepare panel (PreparePn)
    {"Label23", "Мультиплексирование в системный поток"},
    {"Label10", "Начать"},
    {"Label24", "Содержание потока"},
    {"Label18", "PCR значение"},
    {"Label6", "Путь к готовому файлу"},
    {"GroupBox8", "Изменение параметров потока"},
    {"Label14", "Номер программы"},
    {"Label15", "PID программы"},
    {"Label20", "Провайдер программы"},
    {"Label22", "Наименование программы"},
    // Parse panel (ParseWindow)
    {"Label29", "Демультиплексирование файла потока"},
    {"Label30", "Содержимое файла потока"},
    {"Label31", "Размер файла потока"},
    {"Label32", "Начать демультиплексирование"},
    {"Label33", "Разделить многопрограммный поток"},
    {"Label34", "Сбросить выбранные"},
    {"Label35", "Путь к файлам программ потока"},
    {"RadioButton9", "MБайт"},
    {"RadioButton10", "байт"},
};

constexpr std::string_view kLeftAlone[] = {
    "Label5", "Label2", "Label43", "Label44", "GroupBox9", "Label11", "Label12", "Label13", "Label42",
};

constexpr Caption kDesign[] = {
    {"Label25", "File name"},
    {"Label8", " File size"},
    {"Label28", "   Write stream to file"},
    {"RadioButton12", "Leave without changes"},
    {"RadioButton13", "Generate automatically"},
    {"Label23", "    Prepare  current  bitrate of MP2TS stream in DVB-C QAM64 bitrate"},
    {"Label10", "prepare in MUX bitrate"},
};

constexpr WindowCaptions kEnglishWindow = {
    "ROR urever evazar  (preparing for SD card ) v2.0",
    "Open file stream for",
    "Prepare simple stream(one program TS)",
    "Parser multi program TS",
    "To stick together",
    "Exit",
    "SD card manadger",
    "Select SD Flash card for write",
    "No connect memory card",
    "Attach card image…",
};

constexpr WindowCaptions kRussianWindow = {
    "Запись и подготовка ASI потока для записи на SD-носитель(v2.0)",
    "Открыть файл для...",
    "Подготовка потока TS(одна программа)",
    "Демультиплексирование многопрограммного потока",
    "\"Склеить\" файлы",
    "Выход",
    "SD card менеджер",
    "Выбрать для записи SD Flash карту ",
    "Flash картa не определена",
    "Подключить образ карты…",
};
constexpr std::string_view kDesignTitle = "ROR urever evazar  (preparing for flash card ) v1.9";

// Our own words for the buttons that show only a glyph.
constexpr Caption kEnglishTips[] = {
    {"Language1", "Switch the captions to Russian"},
    {"SpeedButton2", "Look for cards again"},
    {"SpeedButton9", "Close the prepare panel"},
    {"SpeedButton20", "Choose the name of the prepared file"},
    {"SpeedButton4", "Start or stop preparing"},
    {"SpeedButton11", "Close the parse panel"},
    {"SpeedButton15", "Choose the folder for the program files"},
    {"SpeedButton12", "Analyse the stream again and select every program"},
    {"SpeedButton3", "Start or stop the split"},
    {"SpeedButton10", "Close the write panel"},
    {"SpeedButton1", "Start or stop writing to the card"},
    {"SpeedButton14", "Close the card manager"},
    {"SpeedButton24", "Start or stop reading from the card"},
    {"SpeedButton8", "Remove the selected files from the list"},
    {"SpeedButton5", "Move the file down"},
    {"SpeedButton6", "Move the file up"},
    {"SpeedButton7", "Clear the list"},
};

constexpr Caption kRussianTips[] = {
    {"Language1", "Переключить надписи на английский"},
    {"SpeedButton2", "Искать карты заново"},
    {"SpeedButton9", "Закрыть панель подготовки"},
    {"SpeedButton20", "Выбрать имя готового файла"},
    {"SpeedButton4", "Начать или остановить подготовку"},
    {"SpeedButton11", "Закрыть панель демультиплексирования"},
    {"SpeedButton15", "Выбрать папку для файлов программ"},
    {"SpeedButton12", "Заново проанализировать поток и выбрать все программы"},
    {"SpeedButton3", "Начать или остановить демультиплексирование"},
    {"SpeedButton10", "Закрыть панель записи"},
    {"SpeedButton1", "Начать или остановить запись на карту"},
    {"SpeedButton14", "Закрыть менеджер SD карты"},
    {"SpeedButton24", "Начать или остановить чтение с карты"},
    {"SpeedButton8", "Удалить выбранные файлы из списка"},
    {"SpeedButton5", "Переместить файл вниз"},
    {"SpeedButton6", "Переместить файл вверх"},
    {"SpeedButton7", "Очистить список"},
};

std::string_view Find(std::span<const Caption> table, std::string_view control) {
    for (const Caption& caption : table)
        if (caption.Control == control) return caption.Text;
    return {};
}

}  // namespace

Language OtherLanguage(Language language) {
    return language == Language::English ? Language::Russian : Language::English;
}

Language StartLanguage() { return IsRussianLocale() ? Language::Russian : Language::English; }

std::span<const Caption> PanelCaptions(Language language) {
    if (language == Language::Russian) return kRussian;
    return kEnglish;
}

std::span<const std::string_view> LeftAloneInRussian() { return kLeftAlone; }

std::span<const Caption> DesignOverrides() { return kDesign; }

std::string_view DesignCaption(std::string_view control) {
    const std::string_view design = Find(kDesign, control);
    return design.empty() ? Find(kEnglish, control) : design;
}

const WindowCaptions& MainCaptions(Language language) {
    return language == Language::Russian ? kRussianWindow : kEnglishWindow;
}

std::string_view DesignTitle() { return kDesignTitle; }

std::span<const Caption> GlyphTips(Language language) {
    if (language == Language::Russian) return kRussianTips;
    return kEnglishTips;
}

}  // namespace tscard::lang
