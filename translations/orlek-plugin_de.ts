<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>JetbrainsProjectSource</name>
    <message>
        <source>JetBrains IDEs</source>
        <translation>JetBrains-IDEs</translation>
    </message>
    <message>
        <source>Solutions</source>
        <translation>Projektmappen</translation>
    </message>
    <message>
        <source>%1 - %2</source>
        <translation>%1 – %2</translation>
    </message>
    <message>
        <source>IntelliJ IDEA</source>
        <translation>IntelliJ IDEA</translation>
    </message>
    <message>
        <source>PyCharm</source>
        <translation>PyCharm</translation>
    </message>
    <message>
        <source>CLion</source>
        <translation>CLion</translation>
    </message>
    <message>
        <source>GoLand</source>
        <translation>GoLand</translation>
    </message>
    <message>
        <source>WebStorm</source>
        <translation>WebStorm</translation>
    </message>
    <message>
        <source>PhpStorm</source>
        <translation>PhpStorm</translation>
    </message>
    <message>
        <source>Rider</source>
        <translation>Rider</translation>
    </message>
    <message>
        <source>DataGrip</source>
        <translation>DataGrip</translation>
    </message>
    <message>
        <source>DataSpell</source>
        <translation>DataSpell</translation>
    </message>
    <message>
        <source>RubyMine</source>
        <translation>RubyMine</translation>
    </message>
    <message>
        <source>RustRover</source>
        <translation>RustRover</translation>
    </message>
    <message>
        <source>Aqua</source>
        <translation>Aqua</translation>
    </message>
    <message>
        <source>Android Studio</source>
        <translation>Android Studio</translation>
    </message>
</context>
<context>
    <name>Orlek</name>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
</context>
<context>
    <name>VscodeProjectSource</name>
    <message>
        <source>VS Code</source>
        <translation>VS Code</translation>
    </message>
    <message>
        <source>VS Code Insiders</source>
        <translation>VS Code Insiders</translation>
    </message>
    <message>
        <source>VS Code OSS</source>
        <translation>VS Code OSS</translation>
    </message>
    <message>
        <source>VSCodium</source>
        <translation>VSCodium</translation>
    </message>
    <message>
        <source>Cursor</source>
        <translation>Cursor</translation>
    </message>
    <message>
        <source>Windsurf</source>
        <translation>Windsurf</translation>
    </message>
    <message>
        <source>Positron</source>
        <translation>Positron</translation>
    </message>
</context>
</TS>
