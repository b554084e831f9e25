<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU" sourcelanguage="ru_RU">
<context>
    <name>vorta::ProcessConfigLoader</name>
    <message numerus="yes">
        <source>[%1]: %2 из %n значений</source>
        <translation>
            <numerusform>[%1]: %2 из %n значения</numerusform>
            <numerusform>[%1]: %2 из %n значений</numerusform>
            <numerusform>[%1]: %2 из %n значений</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>vorta::ProcessListEntries</name>
    <message numerus="yes">
        <source>
…и ещё %n, не показаны.</source>
        <translation>
            <numerusform>
…и ещё %n строка не показана.</numerusform>
            <numerusform>
…и ещё %n строки не показаны.</numerusform>
            <numerusform>
…и ещё %n строк не показаны.</numerusform>
        </translation>
    </message>
</context>
</TS>
