<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ru_RU">
<context>
    <name>vorta::AboutVersion</name>
    <message>
        <source>Компания</source>
        <translation>Company</translation>
    </message>
    <message>
        <source>Файл</source>
        <translation>File</translation>
    </message>
    <message>
        <source>Версия файла</source>
        <translation>File version</translation>
    </message>
    <message>
        <source>Внутреннее имя</source>
        <translation>Internal name</translation>
    </message>
    <message>
        <source>Права</source>
        <translation>Copyright</translation>
    </message>
    <message>
        <source>Торговые марки</source>
        <translation>Trademarks</translation>
    </message>
    <message>
        <source>Продукт</source>
        <translation>Product</translation>
    </message>
    <message>
        <source>Версия продукта</source>
        <translation>Product version</translation>
    </message>
    <message>
        <source>Комментарии</source>
        <translation>Comments</translation>
    </message>
    <message>
        <source>Лаборатория Vorta</source>
        <translation>Vorta Laboratory</translation>
    </message>
    <message>
        <source>© Лаборатория Vorta</source>
        <translation>© Vorta Laboratory</translation>
    </message>
    <message>
        <source>Vorta2: управление лабораторными ферментерами</source>
        <translation>Vorta2: laboratory fermenter control</translation>
    </message>
    <message>
        <source>Сборка %1</source>
        <translation>Build %1</translation>
    </message>
</context>
<context>
    <name>vorta::AlarmCommand</name>
    <message>
        <source>Не удалось запустить команду тревоги </source>
        <translation>Could not start the alarm command </translation>
    </message>
    <message>
        <source>Команда тревоги %1: выполняются %2 и ждут %3, новые тревоги остаются без команды, пока очередь не освободится</source>
        <translation>Alarm command %1: %2 running and %3 waiting; new alarms get no command until the queue has room</translation>
    </message>
    <message>
        <source>Команда тревоги %1 не завершилась за %2 с и остановлена</source>
        <translation>Alarm command %1 did not finish within %2 s and was stopped</translation>
    </message>
    <message>
        <source>Команда тревоги %1 завершилась аварийно</source>
        <translation>Alarm command %1 crashed</translation>
    </message>
    <message>
        <source>Команда тревоги %1 завершилась с кодом %2</source>
        <translation>Alarm command %1 ended with code %2</translation>
    </message>
</context>
<context>
    <name>vorta::Alarms</name>
    <message>
        <source>Нет связи: %1</source>
        <translation>No link: %1</translation>
    </message>
    <message>
        <source>Недостоверное измерение %1</source>
        <translation>Invalid reading %1</translation>
    </message>
    <message>
        <source>%1 = %2 вне пределов %3…%4</source>
        <translation>%1 = %2 outside the limits %3…%4</translation>
    </message>
    <message>
        <source>Миксер стоит: %1</source>
        <translation>Stirrer stands still: %1</translation>
    </message>
    <message>
        <source>Пена</source>
        <translation>Foam</translation>
    </message>
    <message>
        <source>Не удалось записать протокол %1</source>
        <translation>Could not write the data log %1</translation>
    </message>
    <message>
        <source>Дозирование без эффекта: %1, %2</source>
        <translation>Dosing without effect: %1, %2</translation>
    </message>
    <message>
        <source>Не удалось записать файл %1</source>
        <translation>Could not write the file %1</translation>
    </message>
    <message>
        <source>Не удалось записать журнал %1</source>
        <translation>Could not write the journal %1</translation>
    </message>
    <message>
        <source>ТРЕВОГА: %1</source>
        <translation>ALARM: %1</translation>
    </message>
</context>
<context>
    <name>vorta::Calibration</name>
    <message>
        <source>Ошибка в позиции </source>
        <translation>Error at position </translation>
    </message>
    <message>
        <source>Ошибка предела <byte value="xd"/>min=</source>
        <translation>Limit error <byte value="xd"/>min=</translation>
    </message>
    <message>
        <source>Калибровка</source>
        <translation>Calibration</translation>
    </message>
</context>
<context>
    <name>vorta::Chai</name>
    <message>
        <source>Скорость шины CAN на интерфейсе %1: %2 бит/с, а устройства работают на 125000 бит/с. Программа не может изменить её сама; установите её от имени администратора:
ip link set %1 down
ip link set %1 type can bitrate 125000
ip link set %1 up</source>
        <translation>The CAN bus on interface %1 runs at %2 bit/s, but the devices work at 125000 bit/s. The program cannot change it itself; set it as the administrator:
ip link set %1 down
ip link set %1 type can bitrate 125000
ip link set %1 up</translation>
    </message>
</context>
<context>
    <name>vorta::Commands</name>
    <message>
        <source>Линейная подстройка</source>
        <translation>Linear adjustment</translation>
    </message>
    <message>
        <source>Уставка</source>
        <translation>Setpoint</translation>
    </message>
    <message>
        <source>Нет канала %1; каналы: 1..4</source>
        <translation>No channel %1; channels: 1..4</translation>
    </message>
    <message>
        <source>%1 %2: «%3» — не число</source>
        <translation>%1 %2: “%3” is not a number</translation>
    </message>
    <message>
        <source>Уставка %1 %2 вне пределов измерения канала: %3..%4</source>
        <translation>Setpoint %1 %2 is outside the channel&apos;s measuring range: %3..%4</translation>
    </message>
    <message>
        <source>%1: «%2» — не целое число секунд от 0</source>
        <translation>%1: “%2” is not a whole number of seconds from 0</translation>
    </message>
    <message>
        <source>Подпитка</source>
        <translation>Feed</translation>
    </message>
    <message>
        <source>Среда</source>
        <translation>Medium</translation>
    </message>
    <message>
        <source>, период</source>
        <translation>, period</translation>
    </message>
    <message>
        <source>, работа</source>
        <translation>, on-time</translation>
    </message>
    <message>
        <source>%1: работа %2 с дольше периода %3 с</source>
        <translation>%1: on-time %2 s is longer than the period %3 s</translation>
    </message>
    <message>
        <source>%1: миксер не задан</source>
        <translation>%1: no mixer configured</translation>
    </message>
    <message>
        <source>Нет режима %1; режимы: 0..3</source>
        <translation>No mode %1; modes: 0..3</translation>
    </message>
    <message>
        <source>%1: режим %2</source>
        <translation>%1: mode %2</translation>
    </message>
    <message>
        <source>%1: %2 %3 = %4</source>
        <translation>%1: %2 %3 = %4</translation>
    </message>
    <message>
        <source>%1: %2 сохранены</source>
        <translation>%1: %2 saved</translation>
    </message>
    <message>
        <source>линейная подстройка</source>
        <translation>linear adjustment</translation>
    </message>
    <message>
        <source>уставки</source>
        <translation>setpoints</translation>
    </message>
    <message>
        <source>Нет канала %1; каналы: 1..4, 5 — общие</source>
        <translation>No channel %1; channels: 1..4, 5 common</translation>
    </message>
    <message>
        <source>%1: параметры управления сохранены</source>
        <translation>%1: control parameters saved</translation>
    </message>
    <message>
        <source>Чувствительность пены уже на пределе</source>
        <translation>Foam sensitivity is already at its limit</translation>
    </message>
    <message>
        <source>%1: калибровка %2 сохранена</source>
        <translation>%1: calibration of %2 saved</translation>
    </message>
    <message>
        <source>Код скорости %1 вне пределов 1..255</source>
        <translation>Speed code %1 is outside 1..255</translation>
    </message>
    <message>
        <source>%1: скорость мешалки %2 об/мин (код %3)</source>
        <translation>%1: stirrer speed %2 rpm (code %3)</translation>
    </message>
    <message>
        <source>«%1» — не скорость в об/мин</source>
        <translation>“%1” is not a speed in rpm</translation>
    </message>
    <message>
        <source>%1: у мешалки нет шкалы скорости</source>
        <translation>%1: the stirrer has no speed scale</translation>
    </message>
    <message>
        <source>Скорость %1 об/мин вне пределов мешалки: %2..%3</source>
        <translation>Speed %1 rpm is outside the stirrer&apos;s range: %2..%3</translation>
    </message>
    <message>
        <source>%1: код скорости мешалки %2</source>
        <translation>%1: stirrer speed code %2</translation>
    </message>
    <message>
        <source>%1: мешалка запущена</source>
        <translation>%1: stirrer started</translation>
    </message>
    <message>
        <source>%1: мешалка остановлена</source>
        <translation>%1: stirrer stopped</translation>
    </message>
    <message>
        <source>%1: %2 — период %3 с, работа %4 с</source>
        <translation>%1: %2 — period %3 s, on-time %4 s</translation>
    </message>
    <message>
        <source>%1: выход света не задан</source>
        <translation>%1: no light output configured</translation>
    </message>
    <message>
        <source>%1: свет включён на %2 с</source>
        <translation>%1: light on for %2 s</translation>
    </message>
    <message>
        <source>Нет кнопки выхода %1; кнопки: 1..%2</source>
        <translation>No output button %1; buttons: 1..%2</translation>
    </message>
    <message>
        <source>%1: выход %2 %3</source>
        <translation>%1: output %2 %3</translation>
    </message>
    <message>
        <source>включён</source>
        <translation>on</translation>
    </message>
    <message>
        <source>выключен</source>
        <translation>off</translation>
    </message>
    <message>
        <source>Период протокола %1 мин не предусмотрен: 1, 2, 5, 10 или 15</source>
        <translation>A data log period of %1 min is not offered: 1, 2, 5, 10 or 15</translation>
    </message>
    <message>
        <source>%1: период протокола %2 мин</source>
        <translation>%1: data log period %2 min</translation>
    </message>
    <message>
        <source>Нет тревоги #%1</source>
        <translation>No alarm #%1</translation>
    </message>
    <message>
        <source>Квитировано тревог: %1</source>
        <translation>Alarms acknowledged: %1</translation>
    </message>
    <message>
        <source>%1: привод без регистров параметров</source>
        <translation>%1: the drive has no parameter registers</translation>
    </message>
    <message>
        <source>%1: записано регистров привода: %2</source>
        <translation>%1: drive registers written: %2</translation>
    </message>
    <message>
        <source>Подпитка не запущена</source>
        <translation>Feeding not started</translation>
    </message>
    <message>
        <source>Подпитка остановлена</source>
        <translation>Feeding stopped</translation>
    </message>
    <message>
        <source>Подпитка запущена</source>
        <translation>Feeding started</translation>
    </message>
    <message>
        <source>Часы процесса идут с нуля</source>
        <translation>Process clock running from zero</translation>
    </message>
    <message>
        <source>Часы процесса остановлены</source>
        <translation>Process clock stopped</translation>
    </message>
</context>
<context>
    <name>vorta::ConfigReader</name>
    <message>
        <source>не целое число</source>
        <translation>not a whole number</translation>
    </message>
    <message>
        <source>вне пределов %1..%2</source>
        <translation>outside %1..%2</translation>
    </message>
    <message>
        <source>не число</source>
        <translation>not a number</translation>
    </message>
    <message>
        <source>[%1] %2=%3: %4, взято %5</source>
        <translation>[%1] %2=%3: %4, %5 taken</translation>
    </message>
    <message>
        <source>Файл %1: значения, которые нельзя принять, заменены значениями по умолчанию:
</source>
        <translation>File %1: values that cannot be taken were replaced by their defaults:
</translation>
    </message>
    <message>
        <source>[%1] %2=%3: %4</source>
        <translation>[%1] %2=%3: %4</translation>
    </message>
    <message>
        <source>Файл %1: недопустимые значения, %2:
</source>
        <translation>File %1: impossible values, %2:
</translation>
    </message>
</context>
<context>
    <name>vorta::ControlParamsApply</name>
    <message>
        <source>Стандарт / Период (сек):</source>
        <translation>Standard / Period (s):</translation>
    </message>
    <message>
        <source>Стандарт / Нижняя граница:</source>
        <translation>Standard / Lower limit:</translation>
    </message>
    <message>
        <source>Стандарт / Верхняя граница:</source>
        <translation>Standard / Upper limit:</translation>
    </message>
    <message>
        <source>Стандарт / Зона нечувствительности:</source>
        <translation>Standard / Dead zone:</translation>
    </message>
    <message>
        <source>Стандарт / Коэф. усиления + :</source>
        <translation>Standard / Gain + :</translation>
    </message>
    <message>
        <source>Стандарт / Коэф. усиления - :</source>
        <translation>Standard / Gain - :</translation>
    </message>
    <message>
        <source>Таймеры / Период (сек): (первый таймер)</source>
        <translation>Timers / Period (s): (first timer)</translation>
    </message>
    <message>
        <source>Таймеры / Работа (сек): (первый таймер)</source>
        <translation>Timers / On time (s): (first timer)</translation>
    </message>
    <message>
        <source>Таймеры / Период (сек): (второй таймер)</source>
        <translation>Timers / Period (s): (second timer)</translation>
    </message>
    <message>
        <source>Таймеры / Работа (сек): (второй таймер)</source>
        <translation>Timers / On time (s): (second timer)</translation>
    </message>
    <message>
        <source>Спец. pO / Период (сек):</source>
        <translation>Special pO / Period (s):</translation>
    </message>
    <message>
        <source>Спец. pO / Обороты макс.:</source>
        <translation>Special pO / Max. rpm:</translation>
    </message>
    <message>
        <source>Спец. pO / Обороты мин.:</source>
        <translation>Special pO / Min. rpm:</translation>
    </message>
    <message>
        <source>Спец. pO / Коэф. воздействия:</source>
        <translation>Special pO / Action factor:</translation>
    </message>
    <message>
        <source>События / EFT, час. (первое событие)</source>
        <translation>Events / EFT, h (first event)</translation>
    </message>
    <message>
        <source>События / EFT, мин. (первое событие)</source>
        <translation>Events / EFT, min (first event)</translation>
    </message>
    <message>
        <source>События / EFT, час. (второе событие)</source>
        <translation>Events / EFT, h (second event)</translation>
    </message>
    <message>
        <source>События / EFT, мин. (второе событие)</source>
        <translation>Events / EFT, min (second event)</translation>
    </message>
    <message>
        <source>не число (дробная часть отделяется точкой)</source>
        <translation>not a number (the decimal separator is a point)</translation>
    </message>
    <message>
        <source>не целое число</source>
        <translation>not a whole number</translation>
    </message>
    <message>
        <source>вне пределов %1…%2</source>
        <translation>outside %1…%2</translation>
    </message>
    <message>
        <source>Значение поля «%1» не сохранено: «%2» — %3.</source>
        <translation>The value of “%1” was not saved: “%2” is %3.</translation>
    </message>
    <message>
        <source>Параметры управления</source>
        <translation>Control parameters</translation>
    </message>
    <message>
        <source> общие</source>
        <translation> general</translation>
    </message>
    <message>
        <source>Макс.</source>
        <translation>Max.</translation>
    </message>
    <message>
        <source>Мин.</source>
        <translation>Min.</translation>
    </message>
    <message>
        <source>Сред.</source>
        <translation>Med.</translation>
    </message>
    <message>
        <source>Мах.</source>
        <translation>Max.</translation>
    </message>
</context>
<context>
    <name>vorta::ControlSocket</name>
    <message>
        <source>Канал управления %1 перегружен: %2; лишние соединения закрываются</source>
        <translation>The control socket %1 is overloaded: %2; further connections are closed</translation>
    </message>
    <message>
        <source>у программы кончились дескрипторы файлов</source>
        <translation>the program has run out of file descriptors</translation>
    </message>
    <message>
        <source>открыто соединений: %1</source>
        <translation>%1 connections open</translation>
    </message>
    <message>
        <source>у пользователя %1 открыто соединений: %2</source>
        <translation>user %1 has %2 connections open</translation>
    </message>
    <message>
        <source>Канал управления %1 остался в группе программы: отдать его группе папки %2 не удалось (%3); сделайте папку setgid (chmod g+s)</source>
        <translation>The control socket %1 kept the program&apos;s group: it could not be given to the folder&apos;s group %2 (%3); make the folder setgid (chmod g+s)</translation>
    </message>
</context>
<context>
    <name>vorta::DataLogRow</name>
    <message>
        <source>Не удалось записать строку в файл протокола </source>
        <translation>Could not write a row to the data log </translation>
    </message>
</context>
<context>
    <name>vorta::DefaultFolder</name>
    <message>
        <source>Первый запуск: в папке %1 подготовлена демонстрация с виртуальной установкой. В этой папке программа хранит свою конфигурацию, протоколы и журнал.</source>
        <translation>First start: a demo with a virtual plant has been prepared in the folder %1. The program keeps its configuration, data logs and journal in this folder.</translation>
    </message>
</context>
<context>
    <name>vorta::DriveParams</name>
    <message>
        <source>Защитные</source>
        <translation>Protection</translation>
    </message>
    <message>
        <source>Критические</source>
        <translation>Critical</translation>
    </message>
    <message>
        <source>Обороты (rpm)</source>
        <translation>Speed (rpm)</translation>
    </message>
    <message>
        <source>Ток (mA)</source>
        <translation>Current (mA)</translation>
    </message>
    <message>
        <source>Температура (C°)</source>
        <translation>Temperature (C°)</translation>
    </message>
    <message>
        <source>Предупреждающие</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>Расхождение оборотов (%)</source>
        <translation>Speed deviation (%)</translation>
    </message>
    <message>
        <source>Допустимое количество превышений значений параметров</source>
        <translation>Permitted number of limit excesses</translation>
    </message>
    <message>
        <source>Калибровочные</source>
        <translation>Calibration</translation>
    </message>
    <message>
        <source>Ток</source>
        <translation>Current</translation>
    </message>
    <message>
        <source>Температура</source>
        <translation>Temperature</translation>
    </message>
    <message>
        <source>Конструктивные</source>
        <translation>Design</translation>
    </message>
    <message>
        <source>Количество импульсов за оборот</source>
        <translation>Pulses per revolution</translation>
    </message>
    <message>
        <source>Время разгона (Сек)</source>
        <translation>Run-up time (s)</translation>
    </message>
    <message>
        <source>Частота ШИМ (Гц)</source>
        <translation>PWM frequency (Hz)</translation>
    </message>
    <message>
        <source>Дискретность ШИМ грубо (%)</source>
        <translation>PWM step, coarse (%)</translation>
    </message>
    <message>
        <source>Дискретность ШИМ точно (%)</source>
        <translation>PWM step, fine (%)</translation>
    </message>
    <message>
        <source>Счётчик коррекции ШИМ</source>
        <translation>PWM correction counter</translation>
    </message>
    <message>
        <source>Логические</source>
        <translation>Logical</translation>
    </message>
    <message>
        <source>Адрес устройства</source>
        <translation>Device address</translation>
    </message>
    <message>
        <source>Скорость (Baud)</source>
        <translation>Speed (baud)</translation>
    </message>
    <message>
        <source>Интервал SINT1(сек)</source>
        <translation>Interval SINT1 (s)</translation>
    </message>
    <message>
        <source>Интервал SINT2(сек)</source>
        <translation>Interval SINT2 (s)</translation>
    </message>
    <message>
        <source>Регистр %1 (%2): &quot;%3&quot; не целое число от 0 до 65535. Запись остановлена, регистры после него не записаны.</source>
        <translation>Register %1 (%2): &quot;%3&quot; is not a whole number from 0 to 65535. Writing stopped; the registers after it were not written.</translation>
    </message>
</context>
<context>
    <name>vorta::FileTail</name>
    <message>
        <source>MQTT: %1; его строки не публикуются, пока это так.</source>
        <translation>MQTT: %1; its lines are not published while this lasts.</translation>
    </message>
    <message>
        <source>MQTT: файл %1 заменён другим, пока программа не работала; новый файл публикуется с начала, неотправленные строки прежнего (если были) отправить нельзя.</source>
        <translation>MQTT: the file %1 was replaced by another while the program was not running; the new file is published from its start, and unsent lines of the former one (if any) cannot be sent.</translation>
    </message>
    <message>
        <source>MQTT: сохранённое место в файле %1 (байт %2) приходится на середину строки; публикация идёт с начала этой строки.</source>
        <translation>MQTT: the saved place in the file %1 (byte %2) falls in the middle of a line; publishing goes on from the start of that line.</translation>
    </message>
    <message>
        <source>MQTT: файл %1 заменён новым; прежний опубликован до конца, новый публикуется с начала.</source>
        <translation>MQTT: the file %1 was replaced by a new one; the former one has been published to its end, the new one is published from its start.</translation>
    </message>
    <message>
        <source>слишком большой для файла мест продолжения</source>
        <translation>too large for a file of resume places</translation>
    </message>
    <message>
        <source>не читается строк: %1 из %2</source>
        <translation>%1 of %2 lines cannot be read</translation>
    </message>
</context>
<context>
    <name>vorta::FillRun</name>
    <message>
        <source>Заполнение не запущено: нет ни одного процесса.</source>
        <translation>Fill not started: there is no process.</translation>
    </message>
    <message>
        <source>Заполнение не запущено: у процесса %1 задано фаз: %2 (допустимо от 1 до %3). Проверьте FazaCount, Ventil и Pump в [Podpitka].</source>
        <translation>Fill not started: process %1 has %2 phases (1 to %3 allowed). Check FazaCount, Ventil and Pump in [Podpitka].</translation>
    </message>
    <message>
        <source>Выберите хотя бы один процесс</source>
        <translation>Choose at least one process</translation>
    </message>
    <message>
        <source>Пуск</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Стоп</source>
        <translation>Stop</translation>
    </message>
</context>
<context>
    <name>vorta::FolderFiles</name>
    <message>
        <source>символическая ссылка, программа по ней не пишет</source>
        <translation>a symbolic link; the program does not write through it</translation>
    </message>
    <message>
        <source>не обычный файл</source>
        <translation>not a regular file</translation>
    </message>
    <message>
        <source>у файла есть другие имена (жёсткие ссылки)</source>
        <translation>the file has other names (hard links)</translation>
    </message>
    <message>
        <source>файл принадлежит пользователю %1</source>
        <translation>the file belongs to user %1</translation>
    </message>
    <message>
        <source>на месте файла теперь другой файл</source>
        <translation>another file now stands in its place</translation>
    </message>
</context>
<context>
    <name>vorta::FolderLock</name>
    <message>
        <source>другой процесс</source>
        <translation>another process</translation>
    </message>
    <message>
        <source>, пользователь </source>
        <translation>, user </translation>
    </message>
    <message>
        <source>в папке %1 уже работает копия программы (%2)</source>
        <translation>a copy of the program already runs on the folder %1 (%2)</translation>
    </message>
    <message>
        <source>%1 — символическая ссылка; программа по ней не идёт, удалите её</source>
        <translation>%1 is a symbolic link; the program does not follow it, remove it</translation>
    </message>
    <message>
        <source>%1 принадлежит пользователю %2 (права %3): папку занимал другой пользователь; запускайте программу от его имени или удалите файл</source>
        <translation>%1 belongs to user %2 (mode %3): another user held the folder; run the program as that user or remove the file</translation>
    </message>
    <message>
        <source>в папку %1 (владелец %2, права %3) пользователь %4 не может записывать: программе негде взять замок папки</source>
        <translation>user %4 cannot write in folder %1 (owner %2, mode %3): the program has nowhere to take the folder lock</translation>
    </message>
    <message>
        <source>%1 (владелец %2, права %3) не может быть замком этой программы: у него другие имена или чужой владелец; удалите его</source>
        <translation>%1 (owner %2, mode %3) cannot be this program&apos;s lock: it has other names or another owner; remove it</translation>
    </message>
    <message>
        <source>%1 удалён или подменён, пока программа его занимала; запустите её снова</source>
        <translation>%1 was removed or replaced while the program took it; start it again</translation>
    </message>
</context>
<context>
    <name>vorta::Journal</name>
    <message>
        <source>Не удалось открыть журнал </source>
        <translation>Could not open the journal </translation>
    </message>
    <message>
        <source>Не удалось создать журнал </source>
        <translation>Could not create the journal </translation>
    </message>
    <message>
        <source>Не удалось прочитать журнал </source>
        <translation>Could not read the journal </translation>
    </message>
    <message>
        <source>Последняя запись журнала %1 оборвана (запись прервана); она оставлена как есть.</source>
        <translation>The last record of the journal %1 is cut short (its write was interrupted); it is left as it is.</translation>
    </message>
    <message>
        <source>Не удалось записать в журнал </source>
        <translation>Could not write to the journal </translation>
    </message>
</context>
<context>
    <name>vorta::MainForm</name>
    <message>
        <source>Не удалось открыть </source>
        <translation>Could not open </translation>
    </message>
    <message>
        <source> Процессы не запущены.</source>
        <translation> The processes were not started.</translation>
    </message>
    <message>
        <source>Не удалось открыть канал единственного экземпляра</source>
        <translation>Could not open the single-instance channel</translation>
    </message>
    <message>
        <source>Ошибка конфигурирования.</source>
        <translation>Configuration error.</translation>
    </message>
    <message>
        <source>процессы не запущены</source>
        <translation>the processes were not started</translation>
    </message>
</context>
<context>
    <name>vorta::Messages</name>
    <message>
        <source>Не удалось записать файл </source>
        <translation>Could not write the file </translation>
    </message>
    <message>
        <source>Не удалось прочитать </source>
        <translation>Could not read </translation>
    </message>
    <message>
        <source>Файл %1 не удалось прочитать (%2); он не перезаписывается.</source>
        <translation>The file %1 could not be read (%2); it is not overwritten.</translation>
    </message>
</context>
<context>
    <name>vorta::MixerWindowLogic</name>
    <message>
        <source>Миксер</source>
        <translation>Stirrer</translation>
    </message>
    <message>
        <source>Миксер не задан!</source>
        <translation>No stirrer configured!</translation>
    </message>
</context>
<context>
    <name>vorta::MqttPublisher</name>
    <message>
        <source>Публикация данных приостановлена, попытки подключения продолжаются.</source>
        <translation>Publishing is suspended; connection attempts go on.</translation>
    </message>
    <message>
        <source>Данные будут отправлены после восстановления связи.</source>
        <translation>The data will be sent once the connection is back.</translation>
    </message>
    <message>
        <source>MQTT: файл %1 нельзя использовать (%2); строки протоколов и журнала, о которых он не говорит, публикуются с начала файлов, возможны повторы.</source>
        <translation>MQTT: the file %1 cannot be used (%2); lines of the data logs and the journal it says nothing about are published from the start of their files, possibly again.</translation>
    </message>
    <message>
        <source>Брокер MQTT %1 отказал в подключении: %2. %3</source>
        <translation>The MQTT broker %1 refused the connection: %2. %3</translation>
    </message>
    <message>
        <source>Брокер MQTT %1 не принимает сообщения в %2: %3. %4</source>
        <translation>The MQTT broker %1 does not accept messages to %2: %3. %4</translation>
    </message>
    <message>
        <source>идентификатор клиента «%1» (ClientId) занят другим клиентом: другим компьютером или программой с тем же ClientId</source>
        <translation>the client id “%1” (ClientId) is taken by another client: another computer or program with the same ClientId</translation>
    </message>
    <message>
        <source>Брокер MQTT %1 закрыл подключение: %2. %3</source>
        <translation>The MQTT broker %1 closed the connection: %2. %3</translation>
    </message>
    <message>
        <source>Связь с брокером MQTT %1 потеряна: %2. %3</source>
        <translation>The connection to the MQTT broker %1 was lost: %2. %3</translation>
    </message>
    <message>
        <source>Брокер MQTT %1 раз за разом закрывает принятое подключение: вероятно, %2. %3</source>
        <translation>The MQTT broker %1 keeps closing the connection it accepted: probably %2. %3</translation>
    </message>
    <message>
        <source>Брокер MQTT %1 закрывает подключение сразу после того, как принял его. %2</source>
        <translation>The MQTT broker %1 closes the connection right after accepting it. %2</translation>
    </message>
    <message>
        <source>Нет связи с брокером MQTT %1: %2. Данные будут отправлены после подключения.</source>
        <translation>No connection to the MQTT broker %1: %2. The data will be sent once connected.</translation>
    </message>
    <message>
        <source>Связь с брокером MQTT %1 восстановлена.</source>
        <translation>The connection to the MQTT broker %1 is restored.</translation>
    </message>
    <message>
        <source>Связь с брокером MQTT %1 прерывалась и восстановлена.</source>
        <translation>The connection to the MQTT broker %1 was interrupted and is restored.</translation>
    </message>
    <message>
        <source>MQTT: файл %1 снова записывается.</source>
        <translation>MQTT: the file %1 is written again.</translation>
    </message>
    <message>
        <source>MQTT: не удалось записать файл %1: %2. Пока это так, после перезапуска программы строки, записанные до него, могут быть опубликованы повторно или пропущены.</source>
        <translation>MQTT: could not write the file %1: %2. While this lasts, after a restart of the program lines written before it may be published again or skipped.</translation>
    </message>
</context>
<context>
    <name>vorta::MqttReasons</name>
    <message>
        <source>ошибка TLS (сертификат брокера не подтверждён)</source>
        <translation>TLS error (the broker&apos;s certificate is not trusted)</translation>
    </message>
    <message>
        <source>в подключении отказано (брокер не запущен?)</source>
        <translation>connection refused (is the broker running?)</translation>
    </message>
    <message>
        <source>брокер не отвечает</source>
        <translation>the broker does not answer</translation>
    </message>
    <message>
        <source>хост недоступен</source>
        <translation>host unreachable</translation>
    </message>
    <message>
        <source>соединение разорвано</source>
        <translation>connection lost</translation>
    </message>
    <message>
        <source>имя хоста не найдено</source>
        <translation>host name not found</translation>
    </message>
    <message>
        <source>сообщение больше, чем брокер принимает</source>
        <translation>a message larger than the broker accepts</translation>
    </message>
    <message>
        <source>брокер не поддерживает MQTT 3.1.1</source>
        <translation>the broker does not support MQTT 3.1.1</translation>
    </message>
    <message>
        <source>идентификатор клиента отклонён</source>
        <translation>client id rejected</translation>
    </message>
    <message>
        <source>брокер недоступен</source>
        <translation>broker unavailable</translation>
    </message>
    <message>
        <source>неверное имя пользователя или пароль</source>
        <translation>wrong user name or password</translation>
    </message>
    <message>
        <source>неверное имя пользователя или пароль, или нет прав на подключение</source>
        <translation>wrong user name or password, or not allowed to connect</translation>
    </message>
    <message>
        <source>код %1</source>
        <translation>code %1</translation>
    </message>
    <message>
        <source>неверное имя пользователя или пароль, или нет прав</source>
        <translation>wrong user name or password, or not authorised</translation>
    </message>
    <message>
        <source>брокер недоступен или перегружен</source>
        <translation>broker unavailable or busy</translation>
    </message>
    <message>
        <source>брокер завершает работу</source>
        <translation>the broker is shutting down</translation>
    </message>
    <message>
        <source>клиент заблокирован брокером</source>
        <translation>client banned by the broker</translation>
    </message>
    <message>
        <source>недопустимое имя темы</source>
        <translation>invalid topic name</translation>
    </message>
    <message>
        <source>превышена квота брокера</source>
        <translation>the broker&apos;s quota exceeded</translation>
    </message>
    <message>
        <source>%1 (код %2)</source>
        <translation>%1 (code %2)</translation>
    </message>
</context>
<context>
    <name>vorta::MqttSettings</name>
    <message>
        <source>публикация выключена.</source>
        <translation>publishing is off.</translation>
    </message>
    <message>
        <source>MQTT: файл сертификатов CAFile %1; %2</source>
        <translation>MQTT: the certificate file CAFile %1; %2</translation>
    </message>
    <message>
        <source>MQTT: файл сертификатов CAFile %1 не найден или не читается; %2</source>
        <translation>MQTT: the certificate file CAFile %1 is missing or cannot be read; %2</translation>
    </message>
    <message>
        <source>MQTT: в файле сертификатов CAFile %1 нет ни одного читаемого сертификата (ожидается PEM: -----BEGIN CERTIFICATE-----); %2</source>
        <translation>MQTT: the certificate file CAFile %1 holds no readable certificate (PEM expected: -----BEGIN CERTIFICATE-----); %2</translation>
    </message>
    <message>
        <source>MQTT: TopicRoot не может быть пустым, содержать &apos;#&apos; или &apos;+&apos; и начинаться с &apos;$&apos;; публикация выключена.</source>
        <translation>MQTT: TopicRoot cannot be empty, contain &apos;#&apos; or &apos;+&apos; or begin with &apos;$&apos;; publishing is off.</translation>
    </message>
    <message>
        <source>MQTT: PasswordFile задан, а Username нет; пароль передаётся только вместе с именем пользователя. Укажите Username; %1</source>
        <translation>MQTT: PasswordFile is set but Username is not; a password is sent only with a user name. Set Username; %1</translation>
    </message>
    <message>
        <source>MQTT: файл пароля %1; %2</source>
        <translation>MQTT: the password file %1; %2</translation>
    </message>
    <message>
        <source>MQTT: файл пароля %1 доступен другим пользователям; разрешите чтение только владельцу (chmod 600). Публикация выключена.</source>
        <translation>MQTT: the password file %1 is open to other users; allow only its owner to read it (chmod 600). Publishing is off.</translation>
    </message>
    <message>
        <source>MQTT: не удалось прочитать файл пароля %1; %2</source>
        <translation>MQTT: could not read the password file %1; %2</translation>
    </message>
</context>
<context>
    <name>vorta::Ownership</name>
    <message>
        <source>%1: владелец %2, группа %3, права %4 — %5; программа не запущена</source>
        <translation>%1: owner %2, group %3, mode %4 — %5; the program was not started</translation>
    </message>
    <message>
        <source>принадлежит не пользователю %1 и не root</source>
        <translation>it belongs neither to user %1 nor to root</translation>
    </message>
    <message>
        <source>изменять его могут все пользователи</source>
        <translation>every user can change it</translation>
    </message>
    <message>
        <source>изменять его может группа %1</source>
        <translation>group %1 can change it</translation>
    </message>
    <message>
        <source>участники группы %1 могут удалять и подменять в ней чужие файлы: нужен бит sticky (chmod +t)</source>
        <translation>members of group %1 can remove and replace other users&apos; files in it: it needs the sticky bit (chmod +t)</translation>
    </message>
</context>
<context>
    <name>vorta::PanelActions</name>
    <message>
        <source>Текущее</source>
        <translation>Current</translation>
    </message>
    <message>
        <source>Уставка</source>
        <translation>Setpoint</translation>
    </message>
    <message>
        <source>Среднее</source>
        <translation>Mean</translation>
    </message>
</context>
<context>
    <name>vorta::PlantHost</name>
    <message>
        <source>преобразователь CAN этой папки работает в реальном времени; ускоренный прогон возможен только на виртуальной установке ([CHAI] Backend=virtual в VortaCAN.ini)</source>
        <translation>the CAN converter of this folder runs in real time; a fast-forward run is possible only on the virtual plant ([CHAI] Backend=virtual in VortaCAN.ini)</translation>
    </message>
    <message>
        <source>не все записи попали на диск (см. сообщения выше)</source>
        <translation>not everything reached the disk (see the messages above)</translation>
    </message>
    <message>
        <source>план пробуют только на виртуальной установке ([CHAI] Backend=virtual в VortaCAN.ini)</source>
        <translation>a plan is tried on the virtual plant only ([CHAI] Backend=virtual in VortaCAN.ini)</translation>
    </message>
    <message>
        <source>сосуда %1 в этой папке нет</source>
        <translation>this folder has no vessel %1</translation>
    </message>
</context>
<context>
    <name>vorta::ProcessConfigLoader</name>
    <message numerus="yes">
        <source>[%1]: %2 из %n значений</source>
        <translation>
            <numerusform>[%1]: %2 of %n value</numerusform>
            <numerusform>[%1]: %2 of %n values</numerusform>
        </translation>
    </message>
    <message>
        <source>Файл %1, [Hardware] %2=%3: устройство другого типа.</source>
        <translation>File %1, [Hardware] %2=%3: a device of another type.</translation>
    </message>
    <message>
        <source>Файл </source>
        <translation>File </translation>
    </message>
    <message>
        <source> занят другим приложением</source>
        <translation> is in use by another application</translation>
    </message>
    <message>
        <source> Процесс не запущен.</source>
        <translation> The process was not started.</translation>
    </message>
    <message>
        <source>Об/мин: 0</source>
        <translation>Rpm: 0</translation>
    </message>
    <message>
        <source>Файл %1: недостаточно параметров, недостающие считаны как 0:
</source>
        <translation>File %1: too few parameters, the missing ones were read as 0:
</translation>
    </message>
    <message>
        <source>процесс не запущен</source>
        <translation>the process was not started</translation>
    </message>
</context>
<context>
    <name>vorta::ProcessListEntries</name>
    <message>
        <source>%1 — файл лежит вне папки программы</source>
        <translation>%1 — the file is outside the program folder</translation>
    </message>
    <message>
        <source>%1 — файл самой программы, а не файл процесса</source>
        <translation>%1 — a file of the program itself, not a process file</translation>
    </message>
    <message>
        <source>%1 — в файле нет раздела [Port], это не файл процесса</source>
        <translation>%1 — the file has no [Port] section; it is not a process file</translation>
    </message>
    <message>
        <source>%1 — файл указан повторно</source>
        <translation>%1 — the file is listed twice</translation>
    </message>
    <message>
        <source>%1 — журнал данных сосуда, а не файл процесса</source>
        <translation>%1 — a vessel&apos;s data log, not a process file</translation>
    </message>
    <message>
        <source>Vorta.ini, [Processes]: процессы по этим строкам не загружены (%1):
</source>
        <translation>Vorta.ini, [Processes]: no process was loaded from these lines (%1):
</translation>
    </message>
    <message>
        <source>имя журнала данных пусто</source>
        <translation>the data log name is empty</translation>
    </message>
    <message>
        <source>журнал данных лежит вне папки программы</source>
        <translation>the data log is outside the program folder</translation>
    </message>
    <message>
        <source>это файл самой программы</source>
        <translation>it is a file of the program itself</translation>
    </message>
    <message>
        <source>это файл процесса из списка</source>
        <translation>it is a process file of the list</translation>
    </message>
    <message>
        <source>этот журнал данных уже ведёт процесс %1</source>
        <translation>process %1 already writes this data log</translation>
    </message>
    <message numerus="yes">
        <source>
…и ещё %n, не показаны.</source>
        <translation>
            <numerusform>
…and %n more line, not shown.</numerusform>
            <numerusform>
…and %n more lines, not shown.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>vorta::ProfileFile</name>
    <message>
        <source>: не обычный файл</source>
        <translation>: not a regular file</translation>
    </message>
    <message>
        <source>файл не удалось прочитать (</source>
        <translation>the file could not be read (</translation>
    </message>
    <message>
        <source>), он не перезаписывается</source>
        <translation>), it is not overwritten</translation>
    </message>
</context>
<context>
    <name>vorta::RegulationCycle</name>
    <message>
        <source>Плата сбора данных не задана!</source>
        <translation>No data acquisition board configured!</translation>
    </message>
    <message>
        <source>Миксер не задан!</source>
        <translation>No stirrer configured!</translation>
    </message>
    <message>
        <source> Статус: </source>
        <translation> Status: </translation>
    </message>
    <message>
        <source>Об/мин: </source>
        <translation>Rpm: </translation>
    </message>
</context>
<context>
    <name>vorta::SafeFile</name>
    <message>
        <source>именованный канал</source>
        <translation>named pipe</translation>
    </message>
    <message>
        <source>папка</source>
        <translation>folder</translation>
    </message>
    <message>
        <source>устройство</source>
        <translation>device</translation>
    </message>
    <message>
        <source>сокет</source>
        <translation>socket</translation>
    </message>
    <message>
        <source>особый файл</source>
        <translation>special file</translation>
    </message>
    <message>
        <source>%1: не обычный файл (%2), программа его не открывает</source>
        <translation>%1: not a regular file (%2); the program does not open it</translation>
    </message>
    <message>
        <source>; часть записи осталась в файле: </source>
        <translation>; part of the record stayed in the file: </translation>
    </message>
</context>
<context>
    <name>vorta::SetpointsApply</name>
    <message>
        <source>Линейная подстройка</source>
        <translation>Linear adjustment</translation>
    </message>
    <message>
        <source>Уставки</source>
        <translation>Setpoints</translation>
    </message>
</context>
<context>
    <name>vorta::SingleInstance</name>
    <message>
        <source>Проверка второй копии программы отключена: не удалось создать папку %1. Программа продолжает работу.</source>
        <translation>The check for a second copy of the program is off: the folder %1 could not be created. The program carries on.</translation>
    </message>
    <message>
        <source>Проверка второй копии программы отключена: папка %1 не принадлежит текущему пользователю. Программа продолжает работу.</source>
        <translation>The check for a second copy of the program is off: the folder %1 does not belong to the current user. The program carries on.</translation>
    </message>
    <message>
        <source>Канал %1 открыт программой другого пользователя; она не считается копией этой программы. Программа продолжает работу.</source>
        <translation>The channel %1 is held by a program of another user; it is not taken for a copy of this program. The program carries on.</translation>
    </message>
</context>
<context>
    <name>vorta::StatusClock</name>
    <message>
        <source>Статус</source>
        <translation>Status</translation>
    </message>
    <message>
        <source> - Миксер</source>
        <translation> - Stirrer</translation>
    </message>
    <message>
        <source> - Процесс</source>
        <translation> - Process</translation>
    </message>
</context>
<context>
    <name>vorta::StatusMessages</name>
    <message>
        <source>Управление в норме</source>
        <translation>Control normal</translation>
    </message>
    <message>
        <source>Управление запрещено</source>
        <translation>Control disabled</translation>
    </message>
    <message>
        <source>Не определены каналы управления</source>
        <translation>No control outputs defined</translation>
    </message>
    <message>
        <source>Зона нечувствительности</source>
        <translation>Dead zone</translation>
    </message>
    <message>
        <source>Превышение верхней границы</source>
        <translation>Above the upper limit</translation>
    </message>
    <message>
        <source>Превышение нижней границы</source>
        <translation>Below the lower limit</translation>
    </message>
    <message>
        <source>Управление запрещено в данном режиме</source>
        <translation>Control disabled in this mode</translation>
    </message>
    <message>
        <source>Управление запрещено из-за помех</source>
        <translation>Control disabled because of noise</translation>
    </message>
    <message>
        <source>Управление запрещено из-за ошибки измерения</source>
        <translation>Control disabled because of a measurement error</translation>
    </message>
    <message>
        <source>Верхнее положение ШИМ</source>
        <translation>PWM at the top</translation>
    </message>
    <message>
        <source>Нижнее положение ШИМ</source>
        <translation>PWM at the bottom</translation>
    </message>
    <message>
        <source>Период установления оборотов</source>
        <translation>Speed settling period</translation>
    </message>
    <message>
        <source>Фактические обороты не соответствуют заданным</source>
        <translation>Actual speed differs from the set speed</translation>
    </message>
    <message>
        <source>Превышение допустимых оборотов</source>
        <translation>Speed above the permitted limit</translation>
    </message>
    <message>
        <source>Превышение опасного порога потребления</source>
        <translation>Current above the danger threshold</translation>
    </message>
    <message>
        <source>Превышение критического порога потребления</source>
        <translation>Current above the critical threshold</translation>
    </message>
    <message>
        <source>Превышение критического порога температуры</source>
        <translation>Temperature above the critical threshold</translation>
    </message>
    <message>
        <source>Ошибка связи</source>
        <translation>Link error</translation>
    </message>
    <message>
        <source>Начальное состояние</source>
        <translation>Initial state</translation>
    </message>
    <message>
        <source>ШИМ включен</source>
        <translation>PWM on</translation>
    </message>
    <message>
        <source>ШИМ остановлен</source>
        <translation>PWM stopped</translation>
    </message>
    <message>
        <source>USB подключен</source>
        <translation>USB connected</translation>
    </message>
    <message>
        <source>USB НЕ подключен!</source>
        <translation>USB NOT connected!</translation>
    </message>
    <message>
        <source>Неконтролируемый режим</source>
        <translation>Uncontrolled mode</translation>
    </message>
    <message>
        <source>Неконтролируемый</source>
        <translation>Uncontrolled</translation>
    </message>
    <message>
        <source>Режим: %1</source>
        <translation>Mode: %1</translation>
    </message>
    <message>
        <source>Управление запрещено: нет связи с модулем</source>
        <translation>Control disabled: no link to the module</translation>
    </message>
</context>
<context>
    <name>vorta::TAboutForm</name>
    <message>
        <source>О программе</source>
        <translation>About</translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation>Close</translation>
    </message>
</context>
<context>
    <name>vorta::TAlarmWindow</name>
    <message>
        <source>Тревоги</source>
        <translation>Alarms</translation>
    </message>
    <message>
        <source>Время</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>Ферментёр</source>
        <translation>Fermenter</translation>
    </message>
    <message>
        <source>Тревога</source>
        <translation>Alarm</translation>
    </message>
    <message>
        <source>Состояние</source>
        <translation>State</translation>
    </message>
    <message>
        <source>Квитировал</source>
        <translation>Acknowledged by</translation>
    </message>
    <message>
        <source>Квитировать</source>
        <translation>Acknowledge</translation>
    </message>
    <message>
        <source>Квитировать все</source>
        <translation>Acknowledge all</translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Выделите тревогу в списке и нажмите «Квитировать» или нажмите «Квитировать все».</source>
        <translation>Select an alarm in the list and press “Acknowledge”, or press “Acknowledge all”.</translation>
    </message>
    <message>
        <source>активна</source>
        <translation>active</translation>
    </message>
    <message>
        <source>снята </source>
        <translation>cleared </translation>
    </message>
    <message>
        <source>Программа</source>
        <translation>Program</translation>
    </message>
</context>
<context>
    <name>vorta::TCalibrationForm</name>
    <message>
        <source>Фиксация</source>
        <translation>Capture</translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Сохранить</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>%1 Точка</source>
        <translation>Point %1</translation>
    </message>
    <message>
        <source>Значение =</source>
        <translation>Value =</translation>
    </message>
</context>
<context>
    <name>vorta::TChartForm</name>
    <message>
        <source>Цвет</source>
        <translation>Colour</translation>
    </message>
    <message>
        <source>Масштаб:</source>
        <translation>Scale:</translation>
    </message>
    <message>
        <source>Графики - </source>
        <translation>Charts - </translation>
    </message>
    <message>
        <source>Точки</source>
        <translation>Points</translation>
    </message>
    <message>
        <source>Ошибка ввода/вывода: данные графика не сохранены в файл
%1
%2</source>
        <translation>I/O error: the chart data were not saved to the file
%1
%2</translation>
    </message>
    <message>
        <source>Пауза</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Спрятать</source>
        <translation>Hide</translation>
    </message>
    <message>
        <source>Показать</source>
        <translation>Show</translation>
    </message>
</context>
<context>
    <name>vorta::TControlParamsDialog</name>
    <message>
        <source>Параметры управления</source>
        <translation>Control parameters</translation>
    </message>
    <message>
        <source>Стандарт</source>
        <translation>Standard</translation>
    </message>
    <message>
        <source>Таймеры</source>
        <translation>Timers</translation>
    </message>
    <message>
        <source>Спец. pO</source>
        <translation>Special pO</translation>
    </message>
    <message>
        <source>Нагрев</source>
        <translation>Heating</translation>
    </message>
    <message>
        <source>Насосы</source>
        <translation>Pumps</translation>
    </message>
    <message>
        <source>Пена</source>
        <translation>Foam</translation>
    </message>
    <message>
        <source>События</source>
        <translation>Events</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Период (сек):</source>
        <translation>Period (s):</translation>
    </message>
    <message>
        <source>Нижняя граница:</source>
        <translation>Lower limit:</translation>
    </message>
    <message>
        <source>Верхняя граница:</source>
        <translation>Upper limit:</translation>
    </message>
    <message>
        <source>Зона нечувствительности:</source>
        <translation>Dead zone:</translation>
    </message>
    <message>
        <source>Коэф. усиления + :</source>
        <translation>Gain + :</translation>
    </message>
    <message>
        <source>Коэф. усиления - :</source>
        <translation>Gain - :</translation>
    </message>
    <message>
        <source>Разрешение управления</source>
        <translation>Control enabled</translation>
    </message>
    <message>
        <source>Канал - </source>
        <translation>Channel - </translation>
    </message>
    <message>
        <source>Работа (сек):</source>
        <translation>On time (s):</translation>
    </message>
    <message>
        <source>Вкл.</source>
        <translation>On</translation>
    </message>
    <message>
        <source>Управление pO2 миксером</source>
        <translation>pO2 control by the stirrer</translation>
    </message>
    <message>
        <source>Обороты макс.:</source>
        <translation>Max. rpm:</translation>
    </message>
    <message>
        <source>Обороты мин.:</source>
        <translation>Min. rpm:</translation>
    </message>
    <message>
        <source>Коэф. воздействия:</source>
        <translation>Action factor:</translation>
    </message>
    <message>
        <source>Вода</source>
        <translation>Water</translation>
    </message>
    <message>
        <source>Пар</source>
        <translation>Steam</translation>
    </message>
    <message>
        <source>Чувствительность:</source>
        <translation>Sensitivity:</translation>
    </message>
    <message>
        <source>Макс.</source>
        <translation>Max.</translation>
    </message>
    <message>
        <source>час.</source>
        <translation>h</translation>
    </message>
    <message>
        <source>мин.</source>
        <translation>min</translation>
    </message>
    <message>
        <source>Однократно</source>
        <translation>Once</translation>
    </message>
</context>
<context>
    <name>vorta::TDriveParamsWindow</name>
    <message>
        <source>Неверный объект для конфигурирования.</source>
        <translation>Wrong object to configure.</translation>
    </message>
    <message>
        <source>Параметры двигателя</source>
        <translation>Drive parameters</translation>
    </message>
    <message>
        <source>Читать</source>
        <translation>Read</translation>
    </message>
    <message>
        <source>Писать</source>
        <translation>Write</translation>
    </message>
    <message>
        <source>Чтение регистров: запрос %1 из %2</source>
        <translation>Reading registers: request %1 of %2</translation>
    </message>
    <message>
        <source>Чтение регистров...</source>
        <translation>Reading registers...</translation>
    </message>
</context>
<context>
    <name>vorta::TFillWindow</name>
    <message>
        <source>Заполнение</source>
        <translation>Fill</translation>
    </message>
    <message>
        <source>Дозы:</source>
        <translation>Doses:</translation>
    </message>
    <message>
        <source>Количество:</source>
        <translation>Count:</translation>
    </message>
    <message>
        <source>Текущая:</source>
        <translation>Current:</translation>
    </message>
    <message>
        <source>Сброс</source>
        <translation>Reset</translation>
    </message>
    <message>
        <source>Процессы:</source>
        <translation>Processes:</translation>
    </message>
</context>
<context>
    <name>vorta::TMainWindow</name>
    <message>
        <source>Идет завершение процессов</source>
        <translation>Shutting down the processes</translation>
    </message>
</context>
<context>
    <name>vorta::TMixerWindow</name>
    <message>
        <source>Миксер</source>
        <translation>Stirrer</translation>
    </message>
    <message>
        <source>Значение</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>Об/мин</source>
        <translation>Rpm</translation>
    </message>
    <message>
        <source>Старт</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Стоп</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source> Статус: 0000</source>
        <translation> Status: 0000</translation>
    </message>
</context>
<context>
    <name>vorta::TPlanWindow</name>
    <message>
        <source>План — %1</source>
        <translation>Plan — %1</translation>
    </message>
    <message>
        <source>Плана нет. Начать: vorta ctl plan start СОСУД ФАЙЛ</source>
        <translation>No plan. To start one: vorta ctl plan start VESSEL FILE</translation>
    </message>
    <message>
        <source>План «%1»: %2</source>
        <translation>Plan “%1”: %2</translation>
    </message>
    <message>
        <source>Шаг %1 из %2</source>
        <translation>Step %1 of %2</translation>
    </message>
    <message>
        <source>, повтор %1 из %2</source>
        <translation>, round %1 of %2</translation>
    </message>
    <message>
        <source>, до следующего %1</source>
        <translation>, %1 to the next</translation>
    </message>
    <message>
        <source>Далее: %1</source>
        <translation>Next: %1</translation>
    </message>
    <message>
        <source>Изменено вручную (план это соблюдает): %1</source>
        <translation>Changed by hand (the plan obeys): %1</translation>
    </message>
</context>
<context>
    <name>vorta::TSetpointsDialog</name>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>vorta::TStatusWindow</name>
    <message>
        <source>Статус</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Старт процесс:</source>
        <translation>Process start:</translation>
    </message>
    <message>
        <source>Стоп процесс:</source>
        <translation>Process stop:</translation>
    </message>
    <message>
        <source>Старт</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Стоп</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation>Close</translation>
    </message>
</context>
<context>
    <name>vorta::TVortaForm</name>
    <message>
        <source>2 сек</source>
        <translation>2 s</translation>
    </message>
    <message>
        <source>10 сек</source>
        <translation>10 s</translation>
    </message>
    <message>
        <source>30 сек</source>
        <translation>30 s</translation>
    </message>
    <message>
        <source>1 мин</source>
        <translation>1 min</translation>
    </message>
    <message>
        <source>5 мин</source>
        <translation>5 min</translation>
    </message>
    <message>
        <source>15 мин</source>
        <translation>15 min</translation>
    </message>
    <message>
        <source>График</source>
        <translation>Chart</translation>
    </message>
    <message>
        <source>Масштаб</source>
        <translation>Scale</translation>
    </message>
    <message>
        <source>Срабатывания</source>
        <translation>Actuations</translation>
    </message>
    <message>
        <source>Пауза</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Щелочь</source>
        <translation>Base</translation>
    </message>
    <message>
        <source>Кислота</source>
        <translation>Acid</translation>
    </message>
    <message>
        <source>Пеногаситель</source>
        <translation>Antifoam</translation>
    </message>
    <message>
        <source>Подпитка 2</source>
        <translation>Feed 2</translation>
    </message>
    <message>
        <source>Подпитка 1</source>
        <translation>Feed 1</translation>
    </message>
    <message>
        <source>Охлаждение</source>
        <translation>Cooling</translation>
    </message>
    <message>
        <source>Нагрев</source>
        <translation>Heating</translation>
    </message>
    <message>
        <source>Свет</source>
        <translation>Light</translation>
    </message>
    <message>
        <source>Пена</source>
        <translation>Foam</translation>
    </message>
    <message>
        <source>Об/мин:</source>
        <translation>Rpm:</translation>
    </message>
    <message>
        <source>Режим: </source>
        <translation>Mode: </translation>
    </message>
    <message>
        <source>Спрятать</source>
        <translation>Hide</translation>
    </message>
    <message>
        <source>Показать</source>
        <translation>Show</translation>
    </message>
    <message>
        <source>Режим</source>
        <translation>Mode</translation>
    </message>
    <message>
        <source>Неконтролируемый</source>
        <translation>Uncontrolled</translation>
    </message>
    <message>
        <source>Процесс</source>
        <translation>Process</translation>
    </message>
    <message>
        <source>Уставки</source>
        <translation>Setpoints</translation>
    </message>
    <message>
        <source>Линейная подстройка</source>
        <translation>Linear adjustment</translation>
    </message>
    <message>
        <source>Параметры управления</source>
        <translation>Control parameters</translation>
    </message>
    <message>
        <source>Общие</source>
        <translation>General</translation>
    </message>
    <message>
        <source>Статус</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Миксер</source>
        <translation>Stirrer</translation>
    </message>
    <message>
        <source>Тревоги</source>
        <translation>Alarms</translation>
    </message>
    <message>
        <source>Заполнение</source>
        <translation>Fill</translation>
    </message>
    <message>
        <source>Калибровка</source>
        <translation>Calibration</translation>
    </message>
    <message>
        <source>Параметры двигателя</source>
        <translation>Drive parameters</translation>
    </message>
    <message>
        <source>Протокол</source>
        <translation>Data log</translation>
    </message>
    <message>
        <source>%1 мин.</source>
        <translation>%1 min</translation>
    </message>
    <message>
        <source>О программе</source>
        <translation>About</translation>
    </message>
    <message>
        <source>Свернуть</source>
        <translation>Minimize</translation>
    </message>
    <message>
        <source>Выход</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>Экспорт</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>План…</source>
        <translation>Plan…</translation>
    </message>
</context>
<context>
    <name>vorta::VortaConfigLoader</name>
    <message>
        <source>Адаптер CAN &quot;%1&quot; в этой программе недоступен</source>
        <translation>The CAN adapter &quot;%1&quot; is not available in this program</translation>
    </message>
    <message>
        <source>Устройство CAN Name%1 не задано: пропущено</source>
        <translation>CAN device Name%1 is not set: skipped</translation>
    </message>
    <message>
        <source>У устройства CAN [%1] не задан Type: пропущено</source>
        <translation>CAN device [%1] has no Type: skipped</translation>
    </message>
    <message>
        <source>Нет раздела [%1] устройства CAN: пропущено</source>
        <translation>No section [%1] for a CAN device: skipped</translation>
    </message>
    <message>
        <source>Устройство CAN [%1] неизвестного типа &quot;%2&quot;: пропущено</source>
        <translation>CAN device [%1] of unknown type &quot;%2&quot;: skipped</translation>
    </message>
    <message>
        <source>Таблица устройств CAN заполнена (мест: %1), пропущено устройств: %2 (%3)</source>
        <translation>The CAN device table is full (%1 places); devices skipped: %2 (%3)</translation>
    </message>
    <message>
        <source>эти устройства не запущены</source>
        <translation>these devices were not started</translation>
    </message>
    <message>
        <source>[%1] DeviceUID=%2: с BusRange=%3 не адресуется на шине (до 0x%4)</source>
        <translation>[%1] DeviceUID=%2: not addressable on the bus with BusRange=%3 (up to 0x%4)</translation>
    </message>
</context>
</TS>
