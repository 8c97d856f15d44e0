<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>std</name>
    <message>
        <source>cannot read back the output</source>
        <translation>не удаётся прочитать выходной файл обратно</translation>
    </message>
    <message>
        <source>%1: the output ended early while its tail was repaired</source>
        <translation>%1: выходной файл оборвался при исправлении его хвоста</translation>
    </message>
</context>
<context>
    <name>tscard</name>
    <message>
        <source>no PAT before the end of the file</source>
        <translation>до конца файла нет PAT</translation>
    </message>
    <message>
        <source>the PAT announces no program</source>
        <translation>в PAT нет ни одной программы</translation>
    </message>
    <message>
        <source>no PMT before the end of the file for program %1</source>
        <translation>до конца файла нет PMT для программы %1</translation>
    </message>
    <message>
        <source>%1: refused, another analysis is in progress</source>
        <translation>%1: отказано, идёт другой анализ</translation>
    </message>
    <message>
        <source>In selected stream is only one programm.There is no need paresed it</source>
        <translation>В выбранном потоке только одна программа. Разделять его не нужно.</translation>
    </message>
    <message>
        <source>Content  error</source>
        <translation>Ошибка содержимого</translation>
    </message>
    <message>
        <source>%1: the card was opened read-only</source>
        <translation>%1: карта открыта только для чтения</translation>
    </message>
    <message>
        <source>no card is open</source>
        <translation>карта не открыта</translation>
    </message>
    <message>
        <source>cannot open</source>
        <translation>не удаётся открыть</translation>
    </message>
    <message>
        <source>%1: not a card: neither a block device nor a card image file</source>
        <translation>%1: это не карта: не блочное устройство и не файл образа карты</translation>
    </message>
    <message>
        <source>%1: %2; it is never used as a card</source>
        <translation>%1: %2; такой диск никогда не используется как карта</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>%1: %2; only removable cards are used</source>
        <translation>%1: %2; используются только съёмные карты</translation>
    </message>
    <message>
        <source>%1: not a card</source>
        <translation>%1: это не карта</translation>
    </message>
    <message>
        <source>%1: refused, another card read is in progress</source>
        <translation>%1: отказано, идёт другое чтение карты</translation>
    </message>
    <message>
        <source>%1: refused, another card write is in progress</source>
        <translation>%1: отказано, идёт другая запись на карту</translation>
    </message>
    <message>
        <source>cannot read the size</source>
        <translation>не удаётся узнать размер</translation>
    </message>
    <message>
        <source>cannot lock the card image</source>
        <translation>не удаётся заблокировать образ карты</translation>
    </message>
    <message>
        <source>%1: refused, a split is already in progress</source>
        <translation>%1: отказано, разделение уже идёт</translation>
    </message>
    <message>
        <source>%1: no analysed stream to split; open and analyse it (parse mode) first</source>
        <translation>%1: нет проанализированного потока для разделения; сначала откройте и проанализируйте его (демультиплексирование)</translation>
    </message>
    <message>
        <source>%1: %2 programs selected; at most %3 can be split in one run</source>
        <translation>%1: выбрано программ: %2; за один проход можно выделить не более %3</translation>
    </message>
    <message>
        <source>%1: two selected programs have the program number %2 and would both be written to %3; select only one of them</source>
        <translation>%1: у двух выбранных программ номер %2, обе были бы записаны в %3; выберите только одну из них</translation>
    </message>
    <message>
        <source>%1: is the stream being split; choose another output folder</source>
        <translation>%1: это разделяемый поток; выберите другую папку для результата</translation>
    </message>
    <message>
        <source>Select folder where streams will be saved</source>
        <translation>Выберите папку, в которую будут сохранены потоки</translation>
    </message>
    <message>
        <source>a folder</source>
        <translation>папка</translation>
    </message>
    <message>
        <source>a FIFO</source>
        <translation>именованный канал (FIFO)</translation>
    </message>
    <message>
        <source>a character device</source>
        <translation>символьное устройство</translation>
    </message>
    <message>
        <source>a block device</source>
        <translation>блочное устройство</translation>
    </message>
    <message>
        <source>a socket</source>
        <translation>сокет</translation>
    </message>
    <message>
        <source>a symbolic link</source>
        <translation>символическая ссылка</translation>
    </message>
    <message>
        <source>a regular file</source>
        <translation>обычный файл</translation>
    </message>
    <message>
        <source>not a file</source>
        <translation>не файл</translation>
    </message>
    <message>
        <source>%1: %2: %3</source>
        <translation>%1: %2: %3</translation>
    </message>
    <message>
        <source>cannot remove</source>
        <translation>не удаётся удалить</translation>
    </message>
    <message>
        <source>cannot look at the file</source>
        <translation>не удаётся получить сведения о файле</translation>
    </message>
    <message>
        <source>%1: is not a regular file (%2)</source>
        <translation>%1: это не обычный файл (%2)</translation>
    </message>
    <message>
        <source>cannot follow the link</source>
        <translation>не удаётся пройти по ссылке</translation>
    </message>
    <message>
        <source>no output file named</source>
        <translation>выходной файл не указан</translation>
    </message>
    <message>
        <source>%1: this output cannot go to the standard output; name a file</source>
        <translation>%1: этот результат нельзя вывести в стандартный вывод; укажите файл</translation>
    </message>
    <message>
        <source>cannot look at the output</source>
        <translation>не удаётся получить сведения о выходном файле</translation>
    </message>
    <message>
        <source>cannot create the output file</source>
        <translation>не удаётся создать выходной файл</translation>
    </message>
    <message>
        <source>%1: is a block device; a file is written, not a device (use card write for cards)</source>
        <translation>%1: это блочное устройство; записывается файл, а не устройство (для карт служит запись на карту)</translation>
    </message>
    <message>
        <source>%1: is %2; the output must be a file</source>
        <translation>%1: это %2; выводить можно только в файл</translation>
    </message>
    <message>
        <source>cannot open for writing</source>
        <translation>не удаётся открыть для записи</translation>
    </message>
    <message>
        <source>%1: the analysis did not read the PAT and the PMT; nothing to prepare</source>
        <translation>%1: анализ не прочитал PAT и PMT — готовить нечего</translation>
    </message>
    <message>
        <source>%1: the stream carries %2 programs; only a single-program stream can be prepared (use demux first)</source>
        <translation>%1: в потоке программ: %2; подготовить можно только однопрограммный поток (сначала разделите его)</translation>
    </message>
    <message>
        <source>%1: no output file named</source>
        <translation>%1: выходной файл не указан</translation>
    </message>
    <message>
        <source>%1: the output would overwrite the source</source>
        <translation>%1: выходной файл затёр бы источник</translation>
    </message>
    <message>
        <source>%1: the source&apos;s PMT does not fit in one packet; it cannot be rewritten</source>
        <translation>%1: PMT источника не помещается в один пакет; её нельзя переписать</translation>
    </message>
    <message>
        <source>%1: provider and program name take %2 bytes; at most %3 fit in the SDT</source>
        <translation>%1: провайдер и название программы занимают %2 байт; в SDT помещается не более %3</translation>
    </message>
    <message>
        <source>%1- invalid value.Mast be in range 1 to 0x1FFE</source>
        <translation>%1 — недопустимое значение. Допустимый диапазон: от 1 до 0x1FFE</translation>
    </message>
    <message>
        <source>Program bitrate is less than 1,5 mbt/sek [ %1 mBit/s] Prepare it&apos;s all the same?</source>
        <translation>Скорость программы меньше 1,5 Мбит/с [ %1 Мбит/с]. Всё равно подготовить?</translation>
    </message>
    <message>
        <source>Program bitrate is long than 14,5 mbt/sek [ %1 mBit/s] Prepare it&apos;s all the same?</source>
        <translation>Скорость программы больше 14,5 Мбит/с [ %1 Мбит/с]. Всё равно подготовить?</translation>
    </message>
    <message>
        <source>Prepare TS file into SD card</source>
        <translation>Подготовка TS-файла для SD-карты</translation>
    </message>
    <message>
        <source>%1: refused, another prepare run is in progress</source>
        <translation>%1: отказано, идёт другая подготовка</translation>
    </message>
    <message>
        <source>%1: is the output of the splice; it cannot be one of its inputs</source>
        <translation>%1: это выходной файл склейки; он не может быть одним из её входных файлов</translation>
    </message>
    <message>
        <source>%1: refused, a splice is in progress</source>
        <translation>%1: отказано, идёт склейка</translation>
    </message>
    <message>
        <source>refused, a splice is in progress</source>
        <translation>отказано, идёт склейка</translation>
    </message>
    <message>
        <source>the splice list holds at most %1 files; it has %2 and %3 more were chosen; nothing was added</source>
        <translation>в список склейки помещается не более %1 файлов; в нём уже %2, выбрано ещё %3; ничего не добавлено</translation>
    </message>
    <message>
        <source>%1: Unknow stream format (%2)</source>
        <translation>%1: неизвестный формат потока (%2)</translation>
    </message>
    <message>
        <source>the file is empty</source>
        <translation>файл пуст</translation>
    </message>
    <message>
        <source>the file holds %1 bytes, less than one packet</source>
        <translation>в файле %1 байт — меньше одного пакета</translation>
    </message>
    <message>
        <source>no 188- or 192-byte packets within the first 65536 bytes</source>
        <translation>в первых 65536 байтах нет пакетов по 188 или 192 байта</translation>
    </message>
    <message>
        <source>cannot read</source>
        <translation>ошибка чтения</translation>
    </message>
    <message>
        <source>Unknow stream format</source>
        <translation>Неизвестный формат потока</translation>
    </message>
    <message>
        <source>Synhronization error</source>
        <translation>Ошибка синхронизации</translation>
    </message>
    <message>
        <source>%1: File in use from other application (%2)</source>
        <translation>%1: файл занят другим приложением (%2)</translation>
    </message>
    <message>
        <source>File in use from other application</source>
        <translation>Файл занят другим приложением</translation>
    </message>
    <message>
        <source>%1: %2 bytes is too small for the card layout (at least %3 bytes are needed)</source>
        <translation>%1: %2 байт — слишком мало для разметки карты (нужно не менее %3 байт)</translation>
    </message>
    <message>
        <source>%1; not listed</source>
        <translation>%1; карта не показана в списке</translation>
    </message>
    <message>
        <source>a whole number of kbit/s from %1 to %2</source>
        <translation>целым числом кбит/с от %1 до %2</translation>
    </message>
    <message>
        <source>%1: the stream holds no packet to store (only null packets); nothing was written</source>
        <translation>%1: в потоке нет пакетов для записи (только нулевые пакеты); ничего не записано</translation>
    </message>
    <message>
        <source>%1: not a block device</source>
        <translation>%1: это не блочное устройство</translation>
    </message>
    <message>
        <source>%1: cannot open for writing: %2</source>
        <translation>%1: не удаётся открыть для записи: %2</translation>
    </message>
    <message>
        <source>%1: cannot open: %2</source>
        <translation>%1: не удаётся открыть: %2</translation>
    </message>
    <message>
        <source>%1; without root, card readers are opened through the UDisks2 service, which asks for the user&apos;s permission: it is not running here (package udisks2)</source>
        <translation>%1; без прав root картридеры открываются через службу UDisks2, которая запрашивает разрешение пользователя, но здесь она не запущена (пакет udisks2)</translation>
    </message>
    <message>
        <source>%1; the card is in use (a mounted file system or another program holds it)</source>
        <translation>%1; карта занята (её держит смонтированная файловая система или другая программа)</translation>
    </message>
    <message>
        <source>%1; there is no card in the reader</source>
        <translation>%1; в картридере нет карты</translation>
    </message>
    <message>
        <source>%1: cannot read the list of mounted file systems</source>
        <translation>%1: не удаётся прочитать список смонтированных файловых систем</translation>
    </message>
    <message>
        <source>cannot unmount %1 (%2): %3</source>
        <translation>не удаётся отмонтировать %1 (%2): %3</translation>
    </message>
    <message>
        <source>%1; without root, a card is unmounted through the UDisks2 service, which is not running here (package udisks2)</source>
        <translation>%1; без прав root карта отмонтируется через службу UDisks2, но здесь она не запущена (пакет udisks2)</translation>
    </message>
    <message>
        <source>%1; close the programs that use it</source>
        <translation>%1; закройте программы, которые её используют</translation>
    </message>
    <message>
        <source>unknown</source>
        <translation>неизвестно</translation>
    </message>
    <message>
        <source>%1: the file shrank while it was read (was %2 bytes, now %3)</source>
        <translation>%1: файл уменьшился во время чтения (было %2 байт, стало %3)</translation>
    </message>
    <message>
        <source>192-byte units</source>
        <translation>блоки по 192 байта</translation>
    </message>
    <message>
        <source>%1-byte packets</source>
        <translation>пакеты по %1 байт</translation>
    </message>
    <message>
        <source>%1; only transport streams can be spliced</source>
        <translation>%1; склеивать можно только транспортные потоки</translation>
    </message>
</context>
<context>
    <name>tscard::Analyzer</name>
    <message>
        <source>%1: analysis stopped</source>
        <translation>%1: анализ остановлен</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
</context>
<context>
    <name>tscard::BlockDeviceBackend</name>
    <message>
        <source>cannot read the size of the card</source>
        <translation>не удаётся узнать размер карты</translation>
    </message>
    <message>
        <source>cannot flush the card</source>
        <translation>не удаётся сбросить данные на карту</translation>
    </message>
    <message>
        <source>the card is gone</source>
        <translation>карта пропала</translation>
    </message>
    <message>
        <source>%1: there is no card in the reader (size 0)</source>
        <translation>%1: в картридере нет карты (размер 0)</translation>
    </message>
    <message>
        <source>%1: the card was removed or changed</source>
        <translation>%1: карту извлекли или заменили</translation>
    </message>
</context>
<context>
    <name>tscard::BlockReader</name>
    <message>
        <source>cannot read</source>
        <translation>ошибка чтения</translation>
    </message>
</context>
<context>
    <name>tscard::CardDevice</name>
    <message>
        <source>%1: full format stopped after %2 of %3 MiB</source>
        <translation>%1: полное форматирование остановлено после %2 из %3 МиБ</translation>
    </message>
    <message>
        <source>%1; the empty header was written, the rest of the card was not filled</source>
        <translation>%1; пустой заголовок записан, остальная часть карты не заполнена</translation>
    </message>
</context>
<context>
    <name>tscard::CardReadWorker</name>
    <message>
        <source>stream %1</source>
        <translation>поток %1</translation>
    </message>
    <message>
        <source>%1: the card is not in the card layout (Mast be formated)</source>
        <translation>%1: карта не размечена для плеера (требуется форматирование)</translation>
    </message>
    <message>
        <source>%1: there is no %2 (the card holds %3 stream)</source>
        <translation>%1: потока «%2» нет (потоков на карте: %3)</translation>
    </message>
    <message>
        <source>%1: there is no %2 (the card holds %3 streams)</source>
        <translation>%1: потока «%2» нет (потоков на карте: %3)</translation>
    </message>
    <message>
        <source>%1: %2 has no blocks on the card</source>
        <translation>%1: у потока «%2» нет блоков на карте</translation>
    </message>
    <message>
        <source>%1: the directory entry of %2 does not fit the card: %3</source>
        <translation>%1: запись каталога для потока «%2» не соответствует карте: %3</translation>
    </message>
</context>
<context>
    <name>tscard::CardWriteWorker</name>
    <message>
        <source>%1: the source is not open for the card write</source>
        <translation>%1: источник не открыт для записи на карту</translation>
    </message>
    <message>
        <source>%1: the first packet lies past the end of the source</source>
        <translation>%1: первый пакет лежит за концом источника</translation>
    </message>
    <message>
        <source>%1; the card header was not rebuilt and no block was written</source>
        <translation>%1; заголовок карты не обновлён, ни один блок не записан</translation>
    </message>
    <message>
        <source>%1: the directory has no free record</source>
        <translation>%1: в каталоге нет свободной записи</translation>
    </message>
    <message>
        <source>%1: the write was stopped before it began; nothing was written</source>
        <translation>%1: запись остановлена до начала; ничего не записано</translation>
    </message>
</context>
<context>
    <name>tscard::File</name>
    <message>
        <source>cannot read the size</source>
        <translation>не удаётся узнать размер</translation>
    </message>
    <message>
        <source>cannot write</source>
        <translation>ошибка записи</translation>
    </message>
    <message>
        <source>cannot truncate</source>
        <translation>не удаётся обрезать</translation>
    </message>
    <message>
        <source>cannot close</source>
        <translation>не удаётся закрыть</translation>
    </message>
</context>
<context>
    <name>tscard::ImageFileBackend</name>
    <message>
        <source>cannot flush</source>
        <translation>не удаётся сбросить данные на диск</translation>
    </message>
    <message>
        <source>card image is gone</source>
        <translation>образ карты пропал</translation>
    </message>
</context>
<context>
    <name>tscard::OutputFile</name>
    <message>
        <source>cannot write</source>
        <translation>ошибка записи</translation>
    </message>
    <message>
        <source>cannot open for writing</source>
        <translation>не удаётся открыть для записи</translation>
    </message>
    <message>
        <source>cannot lock the output</source>
        <translation>не удаётся заблокировать выходной файл</translation>
    </message>
</context>
<context>
    <name>tscard::RangeCopier</name>
    <message>
        <source>cannot read</source>
        <translation>ошибка чтения</translation>
    </message>
</context>
<context>
    <name>tscard::Run</name>
    <message>
        <source>Invalid value PCR; delta PCR(sek)-&gt; %1</source>
        <translation>Недопустимое значение PCR; интервал PCR (с) -&gt; %1</translation>
    </message>
    <message>
        <source>%1: more than %2 packets between two PCRs %3 s apart: the source&apos;s bit rate is far above the multiplex rate</source>
        <translation>%1: между двумя метками PCR, отстоящими на %3 с, больше %2 пакетов: скорость источника намного выше скорости мультиплекса</translation>
    </message>
    <message>
        <source>%1: a single PCR in the program (no PCR interval): nothing to prepare</source>
        <translation>%1: в программе только одна метка PCR (нет интервала PCR) — готовить нечего</translation>
    </message>
    <message>
        <source>%1: no PCR in the program: nothing to prepare</source>
        <translation>%1: в программе нет меток PCR — готовить нечего</translation>
    </message>
</context>
<context>
    <name>tscard::SpliceChain</name>
    <message>
        <source>%1: refused, a splice is in progress</source>
        <translation>%1: отказано, идёт склейка</translation>
    </message>
    <message>
        <source>no output file is set up for the splice</source>
        <translation>для склейки не задан выходной файл</translation>
    </message>
    <message>
        <source>%1; what was written to %2 stays there</source>
        <translation>%1; то, что записано в %2, там и остаётся</translation>
    </message>
    <message>
        <source>%1: splice stopped; the output keeps what was copied</source>
        <translation>%1: склейка остановлена; в выходном файле остаётся то, что успело скопироваться</translation>
    </message>
    <message>
        <source>%1: splice stopped before anything was copied; the output is left as it was</source>
        <translation>%1: склейка остановлена до начала копирования; выходной файл остался без изменений</translation>
    </message>
    <message>
        <source>%1: holds %2, the first file (%3) %4; only streams of one packet size can be spliced</source>
        <translation>%1: содержит %2, а первый файл (%3) — %4; склеивать можно только потоки с одним размером пакета</translation>
    </message>
</context>
<context>
    <name>tscard::StagedOutput</name>
    <message>
        <source>cannot create the output file</source>
        <translation>не удаётся создать выходной файл</translation>
    </message>
    <message>
        <source>%1: cannot create the output file: no free temporary name</source>
        <translation>%1: не удаётся создать выходной файл: нет свободного временного имени</translation>
    </message>
    <message>
        <source>%1: nothing to commit</source>
        <translation>%1: нечего сохранять</translation>
    </message>
    <message>
        <source>cannot keep the output&apos;s permissions</source>
        <translation>не удаётся сохранить права доступа выходного файла</translation>
    </message>
    <message>
        <source>cannot replace the output</source>
        <translation>не удаётся заменить выходной файл</translation>
    </message>
</context>
<context>
    <name>tscard::SyncReader</name>
    <message>
        <source>cannot read</source>
        <translation>ошибка чтения</translation>
    </message>
</context>
<context>
    <name>tscard::UnitReader</name>
    <message>
        <source>cannot read</source>
        <translation>ошибка чтения</translation>
    </message>
</context>
<context>
    <name>tscard::WindowReader</name>
    <message>
        <source>cannot read</source>
        <translation>ошибка чтения</translation>
    </message>
</context>
<context>
    <name>tscard::app::AccessibleNames</name>
    <message>
        <source>Size of the spliced file (MB)</source>
        <translation>Размер склеенного файла (МБ)</translation>
    </message>
    <message>
        <source>Size of the file being copied (MB)</source>
        <translation>Размер копируемого файла (МБ)</translation>
    </message>
    <message>
        <source>Files to splice</source>
        <translation>Файлы для склейки</translation>
    </message>
    <message>
        <source>SD card</source>
        <translation>SD-карта</translation>
    </message>
    <message>
        <source>Progress of the card write</source>
        <translation>Ход записи на карту</translation>
    </message>
    <message>
        <source>Turns of the card write</source>
        <translation>Активность записи на карту</translation>
    </message>
    <message>
        <source>Progress of the full format</source>
        <translation>Ход полного форматирования</translation>
    </message>
    <message>
        <source>Progress of the prepare run</source>
        <translation>Ход подготовки потока</translation>
    </message>
    <message>
        <source>Turns of the prepare run</source>
        <translation>Активность подготовки потока</translation>
    </message>
    <message>
        <source>Progress of the split</source>
        <translation>Ход разделения</translation>
    </message>
    <message>
        <source>Turns of the split</source>
        <translation>Активность разделения</translation>
    </message>
    <message>
        <source>Progress of the card read</source>
        <translation>Ход чтения с карты</translation>
    </message>
    <message>
        <source>Turns of the card read</source>
        <translation>Активность чтения с карты</translation>
    </message>
    <message>
        <source>Progress of the splice</source>
        <translation>Ход склейки</translation>
    </message>
</context>
<context>
    <name>tscard::app::CardPanel</name>
    <message>
        <source>A card write or read is running; wait for its end.</source>
        <translation>Идёт запись или чтение карты; дождитесь его окончания.</translation>
    </message>
    <message>
        <source>Format %1? Everything on the card will be lost.</source>
        <translation>Форматировать %1? Всё содержимое карты будет потеряно.</translation>
    </message>
    <message>
        <source>Clear %1? Everything on the card will be lost.</source>
        <translation>Очистить %1? Всё содержимое карты будет потеряно.</translation>
    </message>
    <message>
        <source>Select card drive first</source>
        <translation>Сначала выберите карту</translation>
    </message>
    <message>
        <source>Mast be formated</source>
        <translation>Требуется форматирование</translation>
    </message>
</context>
<context>
    <name>tscard::app::CardPoll</name>
    <message>
        <source>card images</source>
        <translation>образы карт</translation>
    </message>
    <message>
        <source>The operation of write stream on flash card finished succesfuly.</source>
        <translation>Запись потока на карту успешно завершена.</translation>
    </message>
    <message>
        <source>End of operation</source>
        <translation>Операция завершена</translation>
    </message>
    <message>
        <source>Not every card could be looked at:</source>
        <translation>Не все карты удалось проверить:</translation>
    </message>
    <message>
        <source>%1: no card in the reader; insert a card</source>
        <translation>%1: в картридере нет карты; вставьте карту</translation>
    </message>
    <message>
        <source>

The card refresh button asks for permission again. A card image can be attached in any case.</source>
        <translation>

Кнопка обновления списка карт снова запросит разрешение. Образ карты можно подключить в любом случае.</translation>
    </message>
</context>
<context>
    <name>tscard::app::ParsePanel</name>
    <message>
        <source>Select folder for save parsed stream</source>
        <translation>Выбор папки для программ разделённого потока</translation>
    </message>
    <message>
        <source>Select target folder</source>
        <translation>Папка назначения</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>New folder</source>
        <translation>Новая папка</translation>
    </message>
    <message>
        <source>Ctrl+click to pick several programs</source>
        <translation>Ctrl+щелчок — выбрать несколько программ</translation>
    </message>
    <message>
        <source>Programs to split</source>
        <translation>Программы для разделения</translation>
    </message>
    <message>
        <source>Split %1 into %2 program files in %3: %4 MiB</source>
        <translation>%1 разделён на файлы программ (%2) в %3: %4 МиБ</translation>
    </message>
</context>
<context>
    <name>tscard::app::PreparePanel</name>
    <message>
        <source>The stream carries %1 programs; only a single-program stream can be prepared. Split it first with &quot;%2&quot;.</source>
        <translation>В потоке программ: %1; подготовить можно только однопрограммный поток. Сначала разделите его командой «%2».</translation>
    </message>
    <message>
        <source>Stopped: %1 holds what was prepared before the stop. Open the stream again to prepare it anew.</source>
        <translation>Остановлено: в %1 записано то, что было подготовлено до остановки. Чтобы подготовить поток заново, откройте его снова.</translation>
    </message>
    <message>
        <source>Prepared %1: %2 MiB (%3 bytes), %4 s; handed over to the card writer</source>
        <translation>Подготовлен %1: %2 МиБ (%3 байт), %4 с; передан на запись на карту</translation>
    </message>
    <message>
        <source>Prepared %1: %2 MiB (%3 bytes), %4 s</source>
        <translation>Подготовлен %1: %2 МиБ (%3 байт), %4 с</translation>
    </message>
</context>
<context>
    <name>tscard::app::ReadPanel</name>
    <message>
        <source>%1: the output is the card itself</source>
        <translation>%1: выходной файл — это сама карта</translation>
    </message>
    <message>
        <source>%1 holds the first %2 of %3 blocks</source>
        <translation>в %1 записаны первые %2 из %3 блоков</translation>
    </message>
    <message>
        <source>what was written to %1 stays there</source>
        <translation>то, что записано в %1, там и остаётся</translation>
    </message>
    <message>
        <source>%1 is left as it was</source>
        <translation>%1 остался без изменений</translation>
    </message>
    <message>
        <source>%1: the card was removed during the read; %2</source>
        <translation>%1: карту извлекли во время чтения; %2</translation>
    </message>
    <message>
        <source>%1; %2</source>
        <translation>%1; %2</translation>
    </message>
    <message>
        <source>Read %1 from the card into %2: %3 MiB (%4 bytes)</source>
        <translation>%1 прочитан с карты в %2: %3 МиБ (%4 байт)</translation>
    </message>
</context>
<context>
    <name>tscard::app::SplicePanel</name>
    <message>
        <source>File allready exist.Overwrite?</source>
        <translation>Файл уже существует. Перезаписать?</translation>
    </message>
    <message>
        <source>Stick files</source>
        <translation>Склейка файлов</translation>
    </message>
    <message>
        <source>Spliced %1 files into %2: %3 MiB (%4 bytes)</source>
        <translation>Склеено файлов: %1, результат — %2: %3 МиБ (%4 байт)</translation>
    </message>
</context>
<context>
    <name>tscard::app::StartScreen</name>
    <message>
        <source>Open a stream to prepare, split or splice it; choose a card to manage it</source>
        <translation>Откройте поток, чтобы подготовить, разделить или склеить его; выберите карту, чтобы работать с ней</translation>
    </message>
    <message>
        <source>Streams opened last:</source>
        <translation>Последние открытые потоки:</translation>
    </message>
    <message>
        <source>Recent streams</source>
        <translation>Последние потоки</translation>
    </message>
</context>
<context>
    <name>tscard::app::StatusLine</name>
    <message>
        <source>Open folder</source>
        <translation>Открыть папку</translation>
    </message>
    <message>
        <source>Close this note</source>
        <translation>Закрыть сообщение</translation>
    </message>
</context>
<context>
    <name>tscard::app::TTorvaneService</name>
    <message>
        <source>%1: not opened; the work under way must end first</source>
        <translation>%1: не открыт; сначала должна завершиться текущая работа</translation>
    </message>
</context>
<context>
    <name>tscard::app::WritePanel</name>
    <message>
        <source>Write TS file into SD card</source>
        <translation>Запись TS-файла на SD-карту</translation>
    </message>
    <message>
        <source>Len of file,that will be write on card,
is  more than free space on this card.
         Write it&apos;s all the same?</source>
        <translation>Размер файла, записываемого на карту,
больше свободного места на этой карте.
         Всё равно записать?</translation>
    </message>
    <message>
        <source>Write %1 to %2 (%3)? Everything on the card will be lost.</source>
        <translation>Записать %1 на %2 (%3)? Всё содержимое карты будет потеряно.</translation>
    </message>
    <message>
        <source>A card format or read is running; wait for its end.</source>
        <translation>Идёт форматирование или чтение карты; дождитесь его окончания.</translation>
    </message>
    <message>
        <source>%1: Mast be formated (the card is not in the card layout)</source>
        <translation>%1: требуется форматирование (карта не размечена для плеера)</translation>
    </message>
    <message>
        <source>no block reached the card</source>
        <translation>ни один блок не попал на карту</translation>
    </message>
    <message>
        <source>%1 block reached the card and is recorded as its stream</source>
        <translation>на карту попал %1 блок, он записан как её поток</translation>
    </message>
    <message>
        <source>%1 blocks reached the card and are recorded as its stream</source>
        <translation>на карту попало блоков: %1, они записаны как её поток</translation>
    </message>
    <message>
        <source>%1: the stream holds no packet to store (only null packets); the card is left empty</source>
        <translation>%1: в потоке нет пакетов для записи (только нулевые пакеты); карта осталась пустой</translation>
    </message>
    <message>
        <source>%1: the card was removed during the write; the write was stopped: %2</source>
        <translation>%1: карту извлекли во время записи; запись остановлена: %2</translation>
    </message>
    <message>
        <source>%1: the card is full: %2; the rest of the stream was not written</source>
        <translation>%1: карта заполнена: %2; остаток потока не записан</translation>
    </message>
    <message>
        <source>%1; the write stopped: %2</source>
        <translation>%1; запись остановлена: %2</translation>
    </message>
    <message>
        <source>%1; the directory was not stored: the card holds the new header and the blocks, with no entry</source>
        <translation>%1; каталог не сохранён: на карте новый заголовок и блоки, но без записи о потоке</translation>
    </message>
    <message>
        <source>Drive of SD card no selected</source>
        <translation>SD-карта не выбрана</translation>
    </message>
    <message>
        <source>The bit rate &apos;%1&apos; is not %2; nothing was written.</source>
        <translation>Скорость «%1» не задана %2; ничего не записано.</translation>
    </message>
    <message>
        <source>%1: the stream holds no packet to store (only null packets); nothing was written.</source>
        <translation>%1: в потоке нет пакетов для записи (только нулевые пакеты); ничего не записано.</translation>
    </message>
</context>
<context>
    <name>tscard::udisks</name>
    <message>
        <source>the UDisks2 service is not running (package udisks2)</source>
        <translation>служба UDisks2 не запущена (пакет udisks2)</translation>
    </message>
    <message>
        <source>UDisks2 said: %1</source>
        <translation>ответ UDisks2: %1</translation>
    </message>
    <message>
        <source>%1: cannot find the device: %2</source>
        <translation>%1: не удаётся найти устройство: %2</translation>
    </message>
    <message>
        <source>%1: UDisks2 does not know this device</source>
        <translation>%1: UDisks2 не знает такого устройства</translation>
    </message>
</context>
<context>
    <name>tscard::udisks::UDisksOpener</name>
    <message>
        <source>%1: the system counts it among its own disks (UDisks2 HintSystem); it is never used as a card</source>
        <translation>%1: система считает его своим диском (UDisks2 HintSystem); такой диск никогда не используется как карта</translation>
    </message>
    <message>
        <source>%1: UDisks2 sent no descriptor</source>
        <translation>%1: UDisks2 не передала дескриптор</translation>
    </message>
    <message>
        <source>%1: cannot keep the descriptor UDisks2 sent: %2</source>
        <translation>%1: не удаётся сохранить дескриптор, переданный UDisks2: %2</translation>
    </message>
    <message>
        <source>cannot unmount %1: %2</source>
        <translation>не удаётся отмонтировать %1: %2</translation>
    </message>
    <message>
        <source>cannot unmount %1: %2; close the programs that use it</source>
        <translation>не удаётся отмонтировать %1: %2; закройте программы, которые её используют</translation>
    </message>
    <message>
        <source>%1: not authorized to open the card (polkit said: %2); run it from a desktop session, where polkit can ask</source>
        <translation>%1: нет разрешения открыть карту (ответ polkit: %2); запустите программу из сеанса рабочего стола, где polkit может запросить разрешение</translation>
    </message>
    <message>
        <source>cannot unmount %1: not authorized (polkit said: %2); run it from a desktop session, where polkit can ask</source>
        <translation>не удаётся отмонтировать %1: нет разрешения (ответ polkit: %2); запустите программу из сеанса рабочего стола, где polkit может запросить разрешение</translation>
    </message>
</context>
</TS>
