#pragma once
// The composition root's one choice: the real Windows adapters, made once at start-up and handed
// down as the bundles the layers take. The editor's toolkit joins them here.

#include "engine/EnginePlatform.h"
#include "platform/win32/app/Win32Startup.h"
#include "platform/win32/env/Win32Environment.h"
#include "platform/win32/process/Win32ProcessLauncher.h"
#include "platform/win32/registry/Win32Registry.h"
#include "platform/win32/security/Win32FileSecurity.h"
#include "platform/win32/security/Win32RunLock.h"
#include "platform/win32/services/Win32ScheduledTasks.h"
#include "platform/win32/services/Win32ServiceControl.h"
#include "platform/win32/wmi/Win32Wmi.h"
#include "platform/win32/xml/MsXmlDocument.h"

struct RealPlatform {
    win32::Win32SystemInfo system;
    win32::Win32Clock clock;
    win32::Win32FileSystem files;
    win32::Win32Registry registry;
    win32::Win32ProcessLauncher processes;
    win32::Win32WmiConnector wmi;
    win32::Win32ServiceControl services;
    win32::Win32ScheduledTasks tasks;
    win32::Win32MessageBoxes boxes;
    MsXmlDocumentFactory xml;
    win32::Win32FileSecurity security;
    win32::Win32RunLock lock;

    EnvPlatform env() { return {system, clock, files}; }
    EnginePlatform engine() { return {env(), registry, processes, wmi, services, tasks, boxes}; }
};
