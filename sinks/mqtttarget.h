#ifndef MQTTTARGET_H
#define MQTTTARGET_H

#include <QString>

#include <optional>

// Where --mqtt publishes: mqtt://[USER@]HOST[:PORT]/PREFIX, or mqtts:// for
// TLS. The password never comes from the command line: it is read from the
// environment or a file when the run starts.
struct MqttTarget {
    static constexpr int DefaultPort = 1883;
    static constexpr int DefaultTlsPort = 8883;
    static constexpr const char *PasswordVariable = "RAVELO_MQTT_PASSWORD";
    static constexpr const char *DefaultDiscoveryPrefix = "homeassistant";

    bool tls = false;
    QString host;
    int port = DefaultPort;
    QString user;          // empty: no login
    QString prefix;        // may be empty or hold several levels: "lab/bench3"
    QString caFile;        // mqtts: the certificate authority; empty: the system's
    QString passwordFile;  // empty: the environment variable, if set
    QString meter;         // the topic level of this meter
    QString discoveryPrefix; // Home Assistant's discovery topics; empty: none

    // The target of an --mqtt URL, or nothing with *error saying what is wrong.
    static std::optional<MqttTarget> fromUrl(const QString &url, QString *error);
    // Whether `name` can be one topic level: not empty, no '/', '+', '#'.
    static bool isTopicLevel(const QString &name);

    // "PREFIX/METER/reading" and its kin.
    QString topic(const char *leaf) const;
    // "HOST:PORT", for messages.
    QString address() const;
};

#endif // MQTTTARGET_H
