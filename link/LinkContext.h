#pragma once
// Everything that talks to the controller works with the same few objects, all owned by the
// main window: the shared state, the port, the request path, the emergency stop, the message
// boxes and the main window itself.

struct LinkState;
class CommPort;
class EmergencyStop;
class MainView;
class ModbusLink;
class Prompter;

struct LinkContext {
    LinkState &state;
    CommPort &port;
    ModbusLink &link;
    EmergencyStop &stop;
    Prompter &prompter;
    MainView &view;
};
