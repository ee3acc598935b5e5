
let size = CGSize(width: 400.5, height: 300.0)
let host = NSView(frame: CGRect(x: 0.0, y: 0.0, width: size.width, height: size.height))
self.view.addSubview(host) // Add to parent view

let particlesLayer = CAEmitterLayer()
particlesLayer.frame = CGRect(x: 0.0, y: 0.0, width: size.width, height: size.height)

host.wantsLayer = true
host.layer?.addSublayer(particlesLayer)
host.layer?.masksToBounds = true // constrain particles to host

particlesLayer.backgroundColor = NSColor(red: 128/255.0, green: 0/255.0, blue: 255/255.0, alpha: 0.46).cgColor
particlesLayer.emitterShape = .rectangle
particlesLayer.emitterPosition = CGPoint(x: -12.3, y: 199.7)
particlesLayer.emitterSize = CGSize(width: 50.0, height: 10.2)
particlesLayer.emitterMode = .surface
particlesLayer.renderMode = .oldestFirst


/*  Import texture -- Export texture  */
let image1: CGImage? = NSImage(named:"star").flatMap {
    var rect = CGRect(x: 0, y: 0, width: $0.size.width, height: $0.size.height)
    return $0.cgImage(forProposedRect: &rect, context: nil, hints: nil)
}

let cell1 = CAEmitterCell()
cell1.contents = image1
cell1.name = "spark"
cell1.birthRate = 120.0
cell1.lifetime = 2.5
cell1.lifetimeRange = 0.5
cell1.velocity = 150.0
cell1.velocityRange = 20.0
cell1.xAcceleration = 0.0
cell1.yAcceleration = 9.81
cell1.emissionLatitude = 0.0 * (.pi / 180.0) // to radians
cell1.emissionLongitude = -30.0 * (.pi / 180.0)
cell1.emissionRange = 45.0 * (.pi / 180.0)
cell1.spin = 1.5 * (.pi / 180.0)
cell1.spinRange = 30.0 * (.pi / 180.0)
cell1.scale = 0.1235
cell1.scaleRange = 0.1
cell1.scaleSpeed = -0.05
cell1.alphaRange = 0.0
cell1.alphaSpeed = -0.3
cell1.color = NSColor(red: 255/255.0, green: 128/255.0, blue: 0/255.0, alpha: 1.0).cgColor
cell1.redRange = 0.1
cell1.greenRange = 0.123
cell1.blueRange = 0.0


/*  Import texture -- Export texture  */
let image1_1: CGImage? = NSImage(named:"Spark").flatMap {
    var rect = CGRect(x: 0, y: 0, width: $0.size.width, height: $0.size.height)
    return $0.cgImage(forProposedRect: &rect, context: nil, hints: nil)
}

let subcell1_1 = CAEmitterCell()
subcell1_1.contents = image1_1
subcell1_1.name = "trail"
subcell1_1.birthRate = 2.0
subcell1_1.lifetime = 0.8
subcell1_1.lifetimeRange = 0.3
subcell1_1.beginTime = 0.12
subcell1_1.duration = 0.6
subcell1_1.velocity = -120.0
subcell1_1.velocityRange = 60.0
subcell1_1.xAcceleration = 1.0
subcell1_1.yAcceleration = -80.0
subcell1_1.emissionLatitude = -12.5 * (.pi / 180.0) // to radians
subcell1_1.emissionLongitude = 90.0 * (.pi / 180.0)
subcell1_1.emissionRange = 60.0 * (.pi / 180.0)
subcell1_1.spin = -2.2 * (.pi / 180.0)
subcell1_1.spinRange = 0.0 * (.pi / 180.0)
subcell1_1.scale = 0.05
subcell1_1.scaleRange = 0.02
subcell1_1.scaleSpeed = -0.03
subcell1_1.alphaRange = 0.0
subcell1_1.alphaSpeed = -1.2
subcell1_1.color = NSColor(red: 255/255.0, green: 204/255.0, blue: 77/255.0, alpha: 0.25).cgColor
subcell1_1.redRange = 0.0
subcell1_1.greenRange = 0.1
subcell1_1.blueRange = 0.0


let cell2 = CAEmitterCell()

cell2.name = "say \"hi\"\\ \u{7} \u{2028}"
cell2.birthRate = 10.0
cell2.lifetime = 5.0
cell2.lifetimeRange = 0.0
cell2.velocity = 100.0
cell2.velocityRange = 0.0
cell2.xAcceleration = 0.0
cell2.yAcceleration = 0.0
cell2.emissionLatitude = 0.0 * (.pi / 180.0) // to radians
cell2.emissionLongitude = 0.0 * (.pi / 180.0)
cell2.emissionRange = 0.0 * (.pi / 180.0)
cell2.spin = 0.0 * (.pi / 180.0)
cell2.spinRange = 0.0 * (.pi / 180.0)
cell2.scale = 0.1
cell2.scaleRange = 0.0
cell2.scaleSpeed = 0.0
cell2.alphaRange = 0.0
cell2.alphaSpeed = 0.0
cell2.color = NSColor(red: 255/255.0, green: 255/255.0, blue: 255/255.0, alpha: 1.0).cgColor
cell2.redRange = 0.0
cell2.greenRange = 0.0
cell2.blueRange = 0.0


/*  Import texture -- Export texture  */
let image3: CGImage? = NSImage(named:"fire.big").flatMap {
    var rect = CGRect(x: 0, y: 0, width: $0.size.width, height: $0.size.height)
    return $0.cgImage(forProposedRect: &rect, context: nil, hints: nil)
}

let cell3 = CAEmitterCell()
cell3.contents = image3
cell3.name = "ember"
cell3.birthRate = 10.0
cell3.lifetime = 5.0
cell3.lifetimeRange = 0.0
cell3.velocity = 100.0
cell3.velocityRange = 0.0
cell3.xAcceleration = 0.0
cell3.yAcceleration = 0.0
cell3.emissionLatitude = 0.0 * (.pi / 180.0) // to radians
cell3.emissionLongitude = 0.0 * (.pi / 180.0)
cell3.emissionRange = 0.0 * (.pi / 180.0)
cell3.spin = 0.0 * (.pi / 180.0)
cell3.spinRange = 0.0 * (.pi / 180.0)
cell3.scale = 0.1
cell3.scaleRange = 0.0
cell3.scaleSpeed = 0.0
cell3.alphaRange = 0.0
cell3.alphaSpeed = 0.0
cell3.color = NSColor(red: 255/255.0, green: 255/255.0, blue: 255/255.0, alpha: 1.0).cgColor
cell3.redRange = 0.0
cell3.greenRange = 0.0
cell3.blueRange = 0.0


/*  Import texture -- Export texture  */
let image3_1: CGImage? = NSImage(named:"Spark").flatMap {
    var rect = CGRect(x: 0, y: 0, width: $0.size.width, height: $0.size.height)
    return $0.cgImage(forProposedRect: &rect, context: nil, hints: nil)
}

let subcell3_1 = CAEmitterCell()
subcell3_1.contents = image3_1
subcell3_1.name = "a"
subcell3_1.birthRate = 10.0
subcell3_1.lifetime = 5.0
subcell3_1.lifetimeRange = 0.0
subcell3_1.beginTime = 0.0
subcell3_1.duration = 0.0
subcell3_1.velocity = 100.0
subcell3_1.velocityRange = 0.0
subcell3_1.xAcceleration = 0.0
subcell3_1.yAcceleration = 0.0
subcell3_1.emissionLatitude = 0.0 * (.pi / 180.0) // to radians
subcell3_1.emissionLongitude = 0.0 * (.pi / 180.0)
subcell3_1.emissionRange = 0.0 * (.pi / 180.0)
subcell3_1.spin = 0.0 * (.pi / 180.0)
subcell3_1.spinRange = 0.0 * (.pi / 180.0)
subcell3_1.scale = 0.1
subcell3_1.scaleRange = 0.0
subcell3_1.scaleSpeed = 0.0
subcell3_1.alphaRange = 0.0
subcell3_1.alphaSpeed = 0.0
subcell3_1.color = NSColor(red: 255/255.0, green: 255/255.0, blue: 255/255.0, alpha: 1.0).cgColor
subcell3_1.redRange = 0.0
subcell3_1.greenRange = 0.0
subcell3_1.blueRange = 0.0


let subcell3_2 = CAEmitterCell()

subcell3_2.name = "b"
subcell3_2.birthRate = 10.0
subcell3_2.lifetime = 5.0
subcell3_2.lifetimeRange = 0.0
subcell3_2.beginTime = 0.0
subcell3_2.duration = 0.0
subcell3_2.velocity = 100.0
subcell3_2.velocityRange = 0.0
subcell3_2.xAcceleration = 0.0
subcell3_2.yAcceleration = 0.0
subcell3_2.emissionLatitude = 0.0 * (.pi / 180.0) // to radians
subcell3_2.emissionLongitude = 0.0 * (.pi / 180.0)
subcell3_2.emissionRange = 0.0 * (.pi / 180.0)
subcell3_2.spin = 0.0 * (.pi / 180.0)
subcell3_2.spinRange = 0.0 * (.pi / 180.0)
subcell3_2.scale = 0.1
subcell3_2.scaleRange = 0.0
subcell3_2.scaleSpeed = 0.0
subcell3_2.alphaRange = 0.0
subcell3_2.alphaSpeed = 0.0
subcell3_2.color = NSColor(red: 255/255.0, green: 255/255.0, blue: 255/255.0, alpha: 1.0).cgColor
subcell3_2.redRange = 0.0
subcell3_2.greenRange = 0.0
subcell3_2.blueRange = 0.0

cell1.emitterCells = [subcell1_1]

cell3.emitterCells = [subcell3_1, subcell3_2]

particlesLayer.emitterCells = [cell1, cell2, cell3]

