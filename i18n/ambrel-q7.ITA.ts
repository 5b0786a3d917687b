<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="it_IT">
<context>
    <name>TFormMain</name>
    <message><source>File</source><translation>File</translation></message>
    <message><source>Edit</source><translation>Modifica</translation></message>
    <message><source>Diagnostics</source><translation>Diagnostica</translation></message>
    <message><source>Help</source><translation>Aiuto</translation></message>
    <message><source>General</source><translation>Generale</translation></message>
    <message><source>Functions</source><translation>Funzioni</translation></message>
    <message><source>Petrol map</source><translation>Mappa benzina</translation></message>
    <message><source>Exit</source><translation>Esci</translation></message>
    <message><source>Exit now?</source><translation>Uscire ora?</translation></message>
    <message><source>Switch to Compensated</source><translation>Passa a Compensato</translation></message>
    <message><source>Switch to Slave</source><translation>Passa a Slave</translation></message>
    <message><source>Load</source><translation>Carica</translation></message>
    <message><source>Save</source><translation>Salva</translation></message>
</context>
<context>
    <name>TFormCommunications</name>
    <message><source>Log</source><translation>Registro</translation></message>
    <message><source>Pause</source><translation>Pausa</translation></message>
    <message><source>Clear</source><translation>Cancella</translation></message>
</context>
<context>
    <name>ambrel::ui::TFormCommunications</name>
    <message><source>Log</source><translation>Registro</translation></message>
    <message><source>Pause</source><translation>Pausa</translation></message>
    <message><source>Clear</source><translation>Cancella</translation></message>
</context>
<context>
    <name>ambrel::ui::TFormMain</name>
    <message><source>Exit now?</source><translation>Uscire ora?</translation></message>
    <message><source>Switch to Compensated</source><translation>Passa a Compensato</translation></message>
    <message><source>Switch to Slave</source><translation>Passa a Slave</translation></message>
    <message><source>Load</source><translation>Carica</translation></message>
    <message><source>Save</source><translation>Salva</translation></message>
    <message><source>La&amp;nguage</source><translation>Li&amp;ngua</translation></message>
</context>
</TS>
